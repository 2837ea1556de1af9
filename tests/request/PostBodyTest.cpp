#include <gtest/gtest.h>

#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include <algorithm>
#include <random>
#include <set>

#include "Sourcefiles/PostBody.hpp"
#include "Sourcefiles/VeltoSettings.hpp"
#include "tests/support/FakePlatform.hpp"

namespace VeltoSDK {
namespace {

using Json = PostBody;

bool holdsNull(const Json& value) {
    if (value.is_null()) return true;
    if (!value.is_structured()) return false;
    return std::any_of(value.begin(), value.end(), holdsNull);
}

class PostBodyTest : public testing::FakePlatformTest {
protected:
    void SetUp() override {
        clock.seconds = 1690000000.0;
        Velto::initialize("pixel-7");
        clock.seconds = 1700000000.5;
    }
};

TEST_F(PostBodyTest, WorkedExampleHasExactlyItsSeventeenMembers) {
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");
    const Json expected = {
        {"va", "25"},          {"c", "USD"},
        {"ii", {"A1", "B2"}},  {"custom", Json::array({{{"k", "color"}, {"v", {"red", "blue"}}}})},
        {"et", 1700000000500}, {"it", VeltoSettings::shared().init_time()},
        {"st", 1690000000000}, {"appid", "com.example.shop"},
        {"v", "1.0"},          {"lang", "en"},
        {"os", "iOS 17.2"},    {"devmake", "Apple"},
        {"devmodel", "arm64"}, {"ifa", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
        {"ifatype", "IDFA"},   {"late", false},
        {"conntype", "wifi"},
    };
    ASSERT_EQ(expected.size(), 17u);
    Json body = buildPostBody(&params);
    EXPECT_EQ(body, expected);
    EXPECT_EQ(body["et"].dump(), "1700000000500");  // a JSON integer, not a fraction or text
}

TEST_F(PostBodyTest, MissingAppIdentityLeavesKeysOut) {
    bundle.appId.reset();
    bundle.version.reset();
    Json body = {{"appid", "stale"}, {"v", "kept"}};
    addAppFields(body);
    // "appid" is removed when there is none; "v" is only ever written, never removed.
    EXPECT_EQ(body, (Json{{"v", "kept"}}));
    Json fresh;
    addAppFields(fresh);
    EXPECT_TRUE(fresh.is_null() || fresh.empty());
}

TEST_F(PostBodyTest, FreePairsNamedLikeBodyKeysStayInCustom) {
    VeltoParams params;
    for (const char* key : {"et", "appid", "v", "lang", "conntype"}) params.put(key, "mine");
    Json body = buildPostBody(&params);
    EXPECT_EQ(body["custom"].size(), 5u);
    EXPECT_EQ(body["et"], 1700000000500);
    EXPECT_EQ(body["appid"], "com.example.shop");
    EXPECT_EQ(body["v"], "1.0");
    EXPECT_EQ(body["lang"], "en");
    EXPECT_EQ(body["conntype"], "wifi");
}

// Whatever the parameters and the platform say, the body holds only known keys, each of its
// own type, never null, and the always-present ones.
TEST_F(PostBodyTest, OnlyTheTwentyTwoKeysEverAppear) {
    const std::map<std::string, Json::value_t> kinds = {
        {"va", Json::value_t::string},         {"c", Json::value_t::string},
        {"ii", Json::value_t::array},          {"itp", Json::value_t::array},
        {"in", Json::value_t::array},          {"custom", Json::value_t::array},
        {"et", Json::value_t::number_integer}, {"it", Json::value_t::number_integer},
        {"st", Json::value_t::number_integer}, {"appid", Json::value_t::string},
        {"v", Json::value_t::string},          {"lang", Json::value_t::string},
        {"os", Json::value_t::string},         {"devmake", Json::value_t::string},
        {"devmodel", Json::value_t::string},   {"ifa", Json::value_t::string},
        {"ifatype", Json::value_t::string},    {"late", Json::value_t::boolean},
        {"conntype", Json::value_t::string},   {"carrier", Json::value_t::string},
        {"mcc", Json::value_t::string},        {"mnc", Json::value_t::string},
    };
    ASSERT_EQ(kinds.size(), 22u);
    const std::vector<std::string> keys = {"va", "c", "ii",     "itp", "in", "et",   "lang",   "VA",
                                           "",   "x", "custom", "k",   "v",  "null", "carrier"};
    const std::vector<std::string> values = {"", "1", ",", "a,b", " a , ", "null", "\xC3\xA9"};
    const std::vector<std::optional<std::string>> texts = {std::nullopt, "", "x", "262"};
    std::mt19937 random(20240611);
    auto pick = [&](const auto& from) { return from[random() % from.size()]; };

    for (int round = 0; round < 400; ++round) {
        VeltoParams params;
        for (int n = random() % 6; n > 0; --n) params.put(pick(keys), pick(values));
        locale.language = pick(texts);
        bundle.appId = pick(texts);
        bundle.version = pick(texts);
        device.version = pick(std::vector<std::string>{"13.7", "14", "14.0.1", "17.2", ""});
        device.trackingStatus = random() % 5;
        device.trackingEnabled = random() % 2;
        device.advertisingId = random() % 2 ? testing::kSampleAdvertisingId : platform::UUID{};
        device.machine = testing::unameField(pick(std::vector<std::string>{"", "x86_64", "\x01"}));
        device.environment.clear();
        if (random() % 3 == 0) device.environment["SIMULATOR_MODEL_IDENTIFIER"] = pick(values);
        reachability.flags = random() % 8;
        reachability.failingReads = random() % 3;
        reachability.failCreation = random() % 5 == 0;
        device.carrier.reset();
        if (random() % 2) {
            device.carrier = std::make_shared<testing::FakeCarrier>();
            device.carrier->name.readings = {pick(texts), pick(texts)};
            device.carrier->countryCode.readings = {pick(texts), pick(texts)};
            device.carrier->networkCode.readings = {pick(texts), pick(texts)};
        }

        Json body = buildPostBody(random() % 4 ? &params : nullptr);
        ASSERT_TRUE(body.is_object());
        for (const char* key : {"et", "it", "st", "os", "devmake", "ifatype", "conntype"}) {
            EXPECT_TRUE(body.contains(key)) << key << " in " << body.dump();
        }
        for (const auto& [key, value] : body.items()) {
            auto kind = kinds.find(key);
            ASSERT_NE(kind, kinds.end()) << key << " in " << body.dump();
            EXPECT_EQ(value.type(), kind->second) << key << " in " << body.dump();
            if (value.is_array()) {
                EXPECT_FALSE(value.empty()) << key;
            }
        }
        EXPECT_FALSE(holdsNull(body)) << body.dump();
    }
}

}  // namespace
}  // namespace VeltoSDK
