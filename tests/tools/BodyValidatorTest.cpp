#include "BodyValidator.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WorkedExample.hpp"

namespace {

using namespace VeltoSDK::collector;
using nlohmann::json;

std::optional<std::string> faultyField(const json& body) {
    auto rejection = validateBody(body);
    if (!rejection) return std::nullopt;
    EXPECT_EQ(rejection->reason, Reason::MissingRequiredField);
    return rejection->field;
}

json withMember(const std::string& key, json value) {
    json body = workedExampleBody();
    body[key] = std::move(value);
    return body;
}

TEST(BodyValidator, AcceptsBodiesTheLibraryCanSend) {
    EXPECT_EQ(faultyField(workedExampleBody()), std::nullopt);

    json minimal{
        {"et", 1},           {"it", 0},       {"st", 0}, {"os", "iOS 1"}, {"devmake", "Apple"},
        {"ifatype", "IDFA"}, {"conntype", ""}};
    EXPECT_EQ(faultyField(minimal), std::nullopt) << "only the always-present keys";

    json everyKey = workedExampleBody();
    everyKey.update(json{{"itp", {"shoe"}},
                         {"in", {"", ""}},
                         {"late", true},
                         {"carrier", "Net"},
                         {"mcc", "310"},
                         {"mnc", "410"}});
    ASSERT_EQ(everyKey.size(), 22u);
    EXPECT_EQ(faultyField(everyKey), std::nullopt);

    EXPECT_EQ(faultyField(withMember("st", -5)), std::nullopt) << "any signed 64-bit integer";
    EXPECT_EQ(faultyField(withMember("custom", json::parse(R"([{"k": "", "v": [""]}])"))),
              std::nullopt);
}

TEST(BodyValidator, BodyThatIsNotAnObjectNamesBody) {
    for (const json& body : {json(nullptr), json::array(), json("{}"), json(42)}) {
        EXPECT_EQ(faultyField(body), "body") << body.dump();
    }
}

TEST(BodyValidator, EachMissingAlwaysPresentKeyIsNamed) {
    for (std::string key : {"et", "it", "st", "os", "devmake", "ifatype", "conntype"}) {
        json body = workedExampleBody();
        body.erase(key);
        EXPECT_EQ(faultyField(body), key);
    }
}

TEST(BodyValidator, OptionalKeysMayBeAbsent) {
    for (std::string key :
         {"va", "c", "ii", "custom", "appid", "v", "lang", "devmodel", "ifa", "late"}) {
        json body = workedExampleBody();
        body.erase(key);
        EXPECT_EQ(faultyField(body), std::nullopt) << key;
    }
}

TEST(BodyValidator, WrongJsonKindNamesTheKey) {
    struct Case {
        std::string key;
        json value;
    };
    const std::vector<Case> cases{
        {"va", 25},               // a value is text, never a number
        {"c", nullptr},           // no member is ever null
        {"ii", "A1,B2"},          // item lists are arrays
        {"itp", {"a", 1}},        // of strings only
        {"in", json::array()},    // and never empty
        {"et", "1700000000123"},  // times are integers
        {"it", 1700000000000.5},  // without fraction
        {"st", UINT64_MAX},       // that fit a signed 64-bit integer
        {"late", "false"},        // a Boolean
        {"conntype", false},      // text, possibly empty
        {"os", json::object()},
        {"custom", json::array()},
        {"custom", json::object({{"k", "a"}, {"v", {"b"}}})},  // not wrapped in an array
    };
    for (const Case& c : cases) {
        EXPECT_EQ(faultyField(withMember(c.key, c.value)), c.key) << c.key << "=" << c.value;
    }
}

TEST(BodyValidator, CustomEntriesHoldExactlyKAndV) {
    for (const char* custom : {
             R"([{"k": "color"}])",                          // no "v"
             R"([{"v": ["red"]}])",                          // no "k"
             R"([{"k": "color", "v": "red"}])",              // "v" not an array
             R"([{"k": "color", "v": []}])",                 // empty "v"
             R"([{"k": 7, "v": ["red"]}])",                  // "k" not text
             R"([{"k": "color", "v": ["red"], "x": "1"}])",  // a third member
             R"([{"k": "color", "v": ["red"]}, "size"])",    // a non-object entry
         }) {
        EXPECT_EQ(faultyField(withMember("custom", json::parse(custom))), "custom") << custom;
    }
}

TEST(BodyValidator, UnknownTopLevelKeysAreNamed) {
    EXPECT_EQ(faultyField(withMember("color", "red")), "color") << "a free pair leaked out";
    EXPECT_EQ(faultyField(withMember("ET", 1)), "ET") << "keys are case-sensitive";
    EXPECT_EQ(faultyField(withMember("e", "Purchase")), "e") << "the event name is not in the body";
}

}  // namespace
