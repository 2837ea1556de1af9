#include <nlohmann/json.hpp>

#include <VeltoSDK/HostInfo.hpp>

#include <thread>

#include "Sourcefiles/BodySteps.hpp"
#include "Sourcefiles/HostValues.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

using Json = nlohmann::json;

struct DeviceFieldsTest : testing::FakePlatformTest {
    void TearDown() override { HostInfo::reset(); }
    Json fields() { return Json::parse(prettyJSON(addDeviceFields)); }
};

TEST_F(DeviceFieldsTest, TrackingPermissionFollowsTheOSVersion) {
    const std::tuple<const char*, bool, int, Json> cases[] = {
        {"13.7", true, 3, false},   {"13.7", false, 3, true},   // before 14: the enabled flag
        {"14", true, 3, false},     {"14.0.0", true, 2, true},  // from 14 on: the status
        {"17.2", false, 1, Json()}, {"17.2", true, 0, Json()},
    };
    for (const auto& [version, enabled, status, late] : cases) {
        device.version = version;
        device.trackingEnabled = enabled;
        device.trackingStatus = status;
        EXPECT_EQ(fields().value("late", Json()), late) << version << " " << status;
    }
}

TEST_F(DeviceFieldsTest, ModelIsTheSimulatorsOrTheTrimmedMachineName) {
    device.machine = "\x01\177a\tb\x1F";
    EXPECT_EQ(deviceModelIdentifier(), "a\tb");
    // Bytes above 127 are Latin-1 characters; U+0085 (Cc) and U+00AD (Cf) trim.
    device.machine = "\x85\xE9t\xE9\xAD";
    EXPECT_EQ(deviceModelIdentifier(), "\xC3\xA9t\xC3\xA9");
    device.machine = "";
    EXPECT_FALSE(fields().contains("devmodel"));
    device.environment["SIMULATOR_MODEL_IDENTIFIER"] = " Model15,2\t";
    EXPECT_EQ(fields()["devmodel"], " Model15,2\t");
}

TEST_F(DeviceFieldsTest, ConnectionTypeIsAlwaysWrittenFromOneReadOfAMonitorThatIsThenGone) {
    reachability.flags |= 0x40004;  // only the reachable bit counts
    EXPECT_EQ(fields()["conntype"], "wifi");
    ASSERT_EQ(reachability.created.size(), 1u);
    EXPECT_EQ(reachability.created[0]->reads, 1);
    EXPECT_EQ(reachability.created[0].use_count(), 1);
    reachability.flags = ~platform::kReachabilityFlagReachable;
    EXPECT_EQ(fields()["conntype"], "");
    reachability.failCreation = true;
    EXPECT_EQ(fields()["conntype"], "");
}

// What the host gives replaces the platform's value; what makes no sense reads as unset, and
// what neither has is left out.
TEST_F(DeviceFieldsTest, HostValuesReplaceThePlatformsAndMissingOnesAreLeftOut) {
    const Json platforms = fields();
    HostInfo::setSystemVersion("13.7");
    HostInfo::setAdvertisingTrackingEnabled(false);
    HostInfo::setAdvertisingIdentifier("not a uuid");
    HostInfo::setCarrier(HostInfo::Carrier{"", "262", std::nullopt});
    locale.language = "";
    Json body = fields();
    EXPECT_EQ(body["os"], "iOS 13.7");
    EXPECT_EQ(body["late"], true);  // before 14, from the switch
    for (const char* key : {"lang", "ifa", "carrier", "mnc"}) EXPECT_FALSE(body.contains(key));
    EXPECT_EQ(body["ifatype"], "IDFA");
    EXPECT_EQ(body["mcc"], "262");
    HostInfo::setSystemVersion("17");
    for (int status : {4, -1, 1000}) {
        HostInfo::setTrackingAuthorizationStatus(status);
        EXPECT_FALSE(fields().contains("late")) << status;  // not determined
    }
    HostInfo::reset();
    locale.language = "en";
    EXPECT_EQ(fields(), platforms);
}

// Readers see one whole value or the other while a writer replaces it, never a mix.
TEST_F(DeviceFieldsTest, ReadersNeverSeeAHalfWrittenHostValue) {
    const std::string longText(4096, 'L'), shortText = "1.2";
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) HostInfo::setSystemVersion(i % 2 ? longText : shortText);
    });
    int bad = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::optional<std::string> version = hostValues()->systemVersion;
        bad += version && *version != longText && *version != shortText;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace VeltoSDK
