#include "BodyValidator.hpp"

#include <gtest/gtest.h>

#include "WorkedExample.hpp"

namespace {

using namespace VeltoSDK::collector;
using nlohmann::json;

// The member of the body the validator names as faulty; none when it accepts the body.
std::optional<std::string> faultyField(const json& body) {
    auto rejection = validateBody(body);
    if (!rejection) return std::nullopt;
    EXPECT_EQ(rejection->reason, Reason::MissingRequiredField);
    return rejection->field;
}

json with(const std::string& key, json value) {
    json body = workedExampleBody();
    body[key] = std::move(value);
    return body;
}

json without(const std::string& key) {
    json body = workedExampleBody();
    body.erase(key);
    return body;
}

TEST(BodyValidator, AcceptsBodiesTheLibraryCanSend) {
    json everyKey = workedExampleBody();
    everyKey.update(json{{"itp", {"shoe"}},
                         {"in", {"", ""}},
                         {"late", true},
                         {"carrier", "Net"},
                         {"mcc", "310"},
                         {"mnc", "410"}});
    ASSERT_EQ(everyKey.size(), 22u);
    json minimal{
        {"et", 1},           {"it", 0},       {"st", -5}, {"os", "iOS 1"}, {"devmake", "Apple"},
        {"ifatype", "IDFA"}, {"conntype", ""}};
    for (const json& body : {everyKey, minimal}) {
        EXPECT_EQ(faultyField(body), std::nullopt) << body.dump();
    }
}

TEST(BodyValidator, RejectsEachKindOfViolationNamingTheMember) {
    const std::pair<json, std::string> cases[] = {
        {json::array(), "body"},              // not an object
        {without("et"), "et"},                // an always-present key is missing
        {with("va", 25), "va"},               // a value is text, never a number
        {with("c", nullptr), "c"},            // no member is ever null
        {with("ii", "A1,B2"), "ii"},          // item lists are arrays
        {with("in", json::array()), "in"},    // never empty
        {with("et", "1700000000123"), "et"},  // times are integers
        {with("it", 1700000000000.5), "it"},  // without fraction
        {with("st", UINT64_MAX), "st"},       // that fit a signed 64-bit integer
        {with("late", "false"), "late"},
        {with("custom", json::object({{"k", "a"}, {"v", {"b"}}})), "custom"},  // not in an array
        {with("custom", json::parse(R"([{"k": "c", "v": []}])")), "custom"},
        {with("custom", json::parse(R"([{"k": 7, "v": ["red"]}])")), "custom"},
        {with("color", "red"), "color"},  // a free pair leaked out
    };
    for (const auto& [body, field] : cases) EXPECT_EQ(faultyField(body), field) << body.dump();
}

}  // namespace
