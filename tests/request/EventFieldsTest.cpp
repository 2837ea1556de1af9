#include <gtest/gtest.h>

#include <VeltoSDK/VeltoParams.hpp>

#include <algorithm>

#include "Sourcefiles/PostBody.hpp"

namespace VeltoSDK {
namespace {

using Json = PostBody;

Json eventFields(const VeltoParams* params) {
    PostBody body = PostBody::object();
    addEventFields(params, body);
    return body;
}

Json eventFields(std::initializer_list<std::pair<std::string, std::string>> pairs) {
    VeltoParams params;
    for (const auto& [key, value] : pairs) params.put(key, value);
    return eventFields(&params);
}

TEST(EventFields, NoParametersOrOnlyEmptyValuesWriteNothing) {
    EXPECT_EQ(eventFields(nullptr), Json::object());
    VeltoParams empty;
    EXPECT_EQ(eventFields(&empty), Json::object());
    EXPECT_EQ(eventFields({{"va", ""}, {"ii", ""}, {"color", ""}}), Json::object());
}

TEST(EventFields, SplitRuleKeepsBlanksAndEmptyParts) {
    const std::pair<const char*, Json> cases[] = {
        {"A1", {"A1"}},
        {"A1,B2,C3", {"A1", "B2", "C3"}},
        {",", {"", ""}},
        {"a,", {"a", ""}},
        {",a", {"", "a"}},
        {"a,,b", {"a", "", "b"}},
        {"a, b ,c", {"a", " b ", "c"}},
        {" ", {" "}},
        {"\xC3\xA9,\xE2\x82\xAC", {"\xC3\xA9", "\xE2\x82\xAC"}},
    };
    for (const auto& [text, parts] : cases) {
        Json body = eventFields({{"in", text}, {"free", text}});
        EXPECT_EQ(body["in"], parts) << text;
        EXPECT_EQ(body["custom"][0]["v"], parts) << text;
    }
}

TEST(EventFields, PropertiesAreStringsOrListsNeverNumbers) {
    Json body = eventFields({{"va", "25.50"}, {"c", "US,D"}, {"ii", "1"}, {"itp", "x,y"}});
    EXPECT_EQ(body, (Json{{"va", "25.50"}, {"c", "US,D"}, {"ii", {"1"}}, {"itp", {"x", "y"}}}));
    EXPECT_TRUE(body["va"].is_string());
}

TEST(EventFields, OtherKeysGoToCustomExactlyAsGiven) {
    // Keys compare case-sensitively; body keys of other steps are just free keys here.
    Json body = eventFields({{"II", "a,b"}, {"", "x"}, {"et", "1"}, {"appid", "mine"}});
    EXPECT_EQ(body.size(), 1u);
    Json expected = Json::array({
        {{"k", ""}, {"v", {"x"}}},
        {{"k", "II"}, {"v", {"a", "b"}}},
        {{"k", "appid"}, {"v", {"mine"}}},
        {{"k", "et"}, {"v", {"1"}}},
    });
    Json custom = body["custom"];
    std::sort(custom.begin(), custom.end(),
              [](const Json& a, const Json& b) { return a["k"] < b["k"]; });
    EXPECT_EQ(custom, expected);
}

TEST(EventFields, PutUnderAPropertyKeyIsThatProperty) {
    VeltoParams params;
    params.setItemId("first");
    params.put("ii", "a,b");
    EXPECT_EQ(eventFields(&params), (Json{{"ii", {"a", "b"}}}));
}

}  // namespace
}  // namespace VeltoSDK
