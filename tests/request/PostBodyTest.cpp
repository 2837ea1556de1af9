#include <VeltoSDK/VeltoSDK.hpp>

#include <algorithm>
#include <random>

#include <nlohmann/json.hpp>

#include "Sourcefiles/PostBody.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

using Json = nlohmann::json;

class PostBodyTest : public testing::FakePlatformTest {
protected:
    void SetUp() override { Velto::initialize("pixel-7"); }
};

TEST_F(PostBodyTest, FreePairsNamedLikeBodyKeysStayInCustom) {
    VeltoParams clash;
    for (const char* key : {"et", "appid", "lang"}) clash.put(key, "mine");
    Json body = Json::parse(buildPostBody(&clash));
    EXPECT_EQ(body["custom"].size(), 3u);
    EXPECT_EQ(body["appid"], "com.example.shop");
    EXPECT_EQ(body["lang"], "en");
}

bool holdsNull(const Json& value) {
    return value.is_null() ||
           (value.is_structured() && std::any_of(value.begin(), value.end(), holdsNull));
}

// Whatever the parameters and the platform say, the body holds only the 22 known keys, each
// of its own type, never null or an empty list, and always the ones every event has.
TEST_F(PostBodyTest, OnlyTheTwentyTwoKeysEverAppear) {
    const Json kinds = Json::parse(R"({"va": "", "c": "", "ii": [], "itp": [], "in": [],
        "custom": [], "et": 1, "it": 1, "st": 1, "appid": "", "v": "", "lang": "", "os": "",
        "devmake": "", "devmodel": "", "ifa": "", "ifatype": "", "late": false, "conntype": "",
        "carrier": "", "mcc": "", "mnc": ""})");  // a value of each key's type
    ASSERT_EQ(kinds.size(), 22u);
    const std::vector<std::string> keys = {"va", "c", "ii",     "itp", "in", "et",   "lang",   "VA",
                                           "",   "x", "custom", "k",   "v",  "null", "carrier"};
    const std::vector<std::string> values = {"", "1", ",", "a,b", " a , ", "null", "\xC3\xA9"};
    const std::vector<std::optional<std::string>> texts = {std::nullopt, "", "x", "262"};
    const platform::UUID sampleId = device.advertisingId;
    std::mt19937 random(20240611);
    auto pick = [&](const auto& from) { return from[random() % from.size()]; };

    for (int round = 0; round < 400; ++round) {
        VeltoParams params;
        for (int n = random() % 6; n > 0; --n) params.put(pick(keys), pick(values));
        locale.language = pick(texts);
        bundle.appId = pick(texts);
        bundle.version = pick(texts);
        device.version = pick(std::vector<std::string>{"13.7", "14", "17.2", ""});
        device.trackingStatus = random() % 5;
        device.trackingEnabled = random() % 2;
        device.advertisingId = random() % 2 ? sampleId : platform::UUID{};
        device.machine = testing::unameField(pick(std::vector<std::string>{"", "x86_64", "\x01"}));
        device.environment.clear();
        if (random() % 3 == 0) device.environment["SIMULATOR_MODEL_IDENTIFIER"] = pick(values);
        reachability.flags = random() % 8;
        reachability.failingReads = random() % 3;
        reachability.failCreation = random() % 5 == 0;
        device.carrier.emplace();
        device.carrier->name = pick(texts);
        device.carrier->countryCode = pick(texts);
        if (random() % 2) device.carrier.reset();

        Json body = Json::parse(buildPostBody(random() % 4 ? &params : nullptr));
        ASSERT_TRUE(body.is_object());
        for (const char* key : {"et", "it", "st", "os", "devmake", "ifatype", "conntype"})
            EXPECT_TRUE(body.contains(key)) << key << " in " << body.dump();
        for (const auto& [key, value] : body.items()) {
            ASSERT_TRUE(kinds.contains(key)) << key << " in " << body.dump();
            EXPECT_EQ(value.type(), kinds[key].type()) << key << " in " << body.dump();
            EXPECT_FALSE(value.is_array() && value.empty()) << key;
        }
        EXPECT_FALSE(holdsNull(body)) << body.dump();
    }
}

}  // namespace
}  // namespace VeltoSDK
