#include "BodyValidator.hpp"

#include <VeltoSDK/VeltoSDK.hpp>

#include <random>

#include "Sourcefiles/PostBody.hpp"
#include "tests/support/Fakes.hpp"

namespace {

using namespace VeltoSDK::collector;
using nlohmann::json;
using VeltoSDK::platform::UUID;

// A body as the library sends it for a purchase with value, currency, two item ids and one
// free pair, on Wi-Fi, without a carrier.
const json kWorkedExample = json::parse(R"({"va": "25", "c": "USD", "ii": ["A1", "B2"],
    "custom": [{"k": "color", "v": ["red", "blue"]}], "et": 1700000000123, "it": 1700000000000,
    "st": 1700000000050, "appid": "com.example.shop", "v": "1.0", "lang": "en", "os": "iOS 17.1",
    "devmake": "Apple", "devmodel": "x86_64", "ifa": "6D92078A-8246-4BA4-AE5B-76104861E7DC",
    "ifatype": "IDFA", "late": false, "conntype": "wifi"})");

// The worked example with `key` set to `value`, or removed when `value` is discarded.
json with(const std::string& key, json value = json::value_t::discarded) {
    json body = kWorkedExample;
    if (value.is_discarded()) body.erase(key);
    if (!value.is_discarded()) body[key] = std::move(value);
    return body;
}

// None for bodies the library can send; else each faulty member, wrong ones before missing ones.
TEST(BodyValidator, NamesEachFaultyMember) {
    json everyKey = kWorkedExample;
    everyKey.update(json::parse(R"({"itp": ["shoe"], "in": ["", ""], "late": true,
        "carrier": "Net", "mcc": "310", "mnc": "410"})"));
    ASSERT_EQ(everyKey.size(), 22u);
    json threeFaults = with("os");
    threeFaults["c"] = 1;
    threeFaults["zz"] = "x";
    using Faults = std::vector<std::string>;
    const std::pair<json, Faults> cases[] = {
        {everyKey, {}},
        {json::parse(R"({"et": 1, "it": 0, "st": -5, "os": "iOS 1", "devmake": "Apple",
            "ifatype": "IDFA", "conntype": ""})"),
         {}},
        {json::array(), {"body"}},              // not an object
        {with("et"), {"et"}},                   // an always-present key is missing
        {with("va", 25), {"va"}},               // a value is text, never a number
        {with("c", nullptr), {"c"}},            // no member is ever null
        {with("ii", "A1,B2"), {"ii"}},          // item lists are arrays
        {with("in", json::array()), {"in"}},    // never empty
        {with("et", "1700000000123"), {"et"}},  // times are integers
        {with("it", 1700000000000.5), {"it"}},  // without fraction
        {with("st", UINT64_MAX), {"st"}},       // that fit a signed 64-bit integer
        {with("late", "false"), {"late"}},
        {with("custom", json::object({{"k", "a"}, {"v", {"b"}}})), {"custom"}},  // not in an array
        {with("custom", json::parse(R"([{"k": "c", "v": []}])")), {"custom"}},
        {with("custom", json::parse(R"([{"k": 7, "v": ["red"]}])")), {"custom"}},
        {with("color", "red"), {"color"}},  // a free pair leaked out
        {threeFaults, {"c", "zz", "os"}},
    };
    for (const auto& [body, faults] : cases) EXPECT_EQ(bodyFaults(body), faults) << body.dump();
}

class LibraryBody : public VeltoSDK::testing::FakePlatformTest {};

// Whatever the parameters and the platform say, the library's body passes the checks.
TEST_F(LibraryBody, PassesTheChecksWhateverTheInput) {
    VeltoSDK::Velto::initialize("pixel-7");
    const std::vector<std::string> keys = {"va", "c", "ii",     "itp", "in", "et",   "lang",   "VA",
                                           "",   "x", "custom", "k",   "v",  "null", "carrier"};
    const std::vector<std::string> values = {"", "1", ",", "a,b", " a , ", "null", "\xC3\xA9"};
    const std::vector<std::optional<std::string>> texts = {std::nullopt, "", "x", "262"};
    const UUID sampleId = device.advertisingId;
    std::mt19937 random(20240611);
    auto pick = [&](const auto& from) { return from[random() % from.size()]; };
    for (int round = 0; round < 400; ++round) {
        VeltoSDK::VeltoParams params;
        for (int n = random() % 6; n > 0; --n) params.put(pick(keys), pick(values));
        locale.language = pick(texts);
        bundle.appId = pick(texts);
        bundle.version = pick(texts);
        device.advertisingId = random() % 2 ? sampleId : UUID{};
        device.machine = pick(std::vector<std::string>{"", "\x01"});
        device.environment.clear();
        if (random() % 3 == 0) device.environment["SIMULATOR_MODEL_IDENTIFIER"] = pick(values);
        reachability.failCreation = random() % 5 == 0;
        device.carrier.emplace();
        device.carrier->name = pick(texts);
        device.carrier->countryCode = pick(texts);
        if (random() % 2) device.carrier.reset();
        const std::string body = VeltoSDK::buildPostBody(random() % 4 ? &params : nullptr);
        EXPECT_EQ(bodyFaults(json::parse(body)), std::vector<std::string>{}) << body;
    }
}

}  // namespace
