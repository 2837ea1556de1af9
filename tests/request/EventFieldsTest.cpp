#include <gtest/gtest.h>

#include <VeltoSDK/VeltoParams.hpp>

#include <nlohmann/json.hpp>

#include "Sourcefiles/BodySteps.hpp"

namespace VeltoSDK {
namespace {

using Json = nlohmann::json;

Json eventFields(std::initializer_list<std::pair<std::string, std::string>> pairs) {
    VeltoParams params;
    for (const auto& [key, value] : pairs) params.put(key, value);
    return Json::parse(prettyJSON([&](PostBody& body) { addEventFields(&params, body); }));
}

TEST(EventFields, SplitRuleKeepsBlanksAndEmptyParts) {
    const std::pair<const char*, Json> cases[] = {
        {",", {"", ""}},
        {"a,", {"a", ""}},
        {"a,,b", {"a", "", "b"}},
        {"a, b", {"a", " b"}},
        {" ", {" "}},
        {"\xC3\xA9,\xE2\x82\xAC", {"\xC3\xA9", "\xE2\x82\xAC"}},
    };
    for (const auto& [text, parts] : cases) {
        Json body = eventFields({{"in", text}, {"free", text}});
        EXPECT_EQ(body["in"], parts) << text;
        EXPECT_EQ(body["custom"][0]["v"], parts) << text;
    }
    // An empty value is left out, even next to a free pair that is written.
    EXPECT_EQ(eventFields({{"va", ""}, {"ii", ""}, {"color", ""}}), Json::object());
    EXPECT_EQ(eventFields({{"a", "x"}, {"b", ""}}),
              Json::parse(R"({"custom":[{"k":"a","v":["x"]}]})"));
}

TEST(EventFields, ValueAndCurrencyStayTextAndOtherKeysGoToCustom) {
    // Keys compare case-sensitively; keys of other body parts are just free keys here.
    Json body = eventFields({{"va", "25.50"}, {"c", "US,D"}, {"II", "a"}, {"et", "1"}});
    EXPECT_EQ(body["va"], "25.50");
    EXPECT_EQ(body["c"], "US,D");
    EXPECT_EQ(body["custom"], Json::parse(R"([{"k":"II","v":["a"]},{"k":"et","v":["1"]}])"));
}

}  // namespace
}  // namespace VeltoSDK
