#include <gtest/gtest.h>

#include "Sourcefiles/PostBody.hpp"
#include "platform/NotificationCenter.hpp"
#include "tests/support/FakePlatform.hpp"

namespace VeltoSDK {
namespace {

using Json = PostBody;

class DeviceFieldsTest : public testing::FakePlatformTest {
protected:
    Json deviceFields(Json body = Json::object()) {
        addDeviceFields(body);
        return body;
    }
    std::optional<Json> late() {
        Json body = deviceFields();
        return body.contains("late") ? std::optional(body["late"]) : std::nullopt;
    }
};

TEST_F(DeviceFieldsTest, LanguageIsRemovedWhenTheLocaleHasNone) {
    for (std::optional<std::string> none :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        locale.language = none;
        EXPECT_FALSE(deviceFields({{"lang", "stale"}}).contains("lang"));
    }
    locale.language = "pt";
    EXPECT_EQ(deviceFields()["lang"], "pt");
}

TEST_F(DeviceFieldsTest, TrackingPermissionFollowsTheOSVersion) {
    device.version = "13.7";
    device.trackingStatus = 3;  // ignored before 14
    device.trackingEnabled = true;
    EXPECT_EQ(late(), Json(false));
    EXPECT_EQ(deviceFields()["os"], "iOS 13.7");
    device.trackingEnabled = false;
    EXPECT_EQ(late(), Json(true));

    for (const char* version : {"14", "14.0.0", "17.2"}) {
        device.version = version;
        device.trackingEnabled = true;  // ignored from 14 on
        device.trackingStatus = 3;
        EXPECT_EQ(late(), Json(false)) << version;
        device.trackingStatus = 2;
        EXPECT_EQ(late(), Json(true)) << version;
        device.trackingStatus = 1;
        EXPECT_EQ(late(), std::nullopt) << version;
        device.trackingStatus = 0;
        EXPECT_EQ(late(), std::nullopt) << version;
    }
}

TEST_F(DeviceFieldsTest, SimulatorModelIsTakenAsSetWithoutAskingUname) {
    device.environment["SIMULATOR_MODEL_IDENTIFIER"] = " iPhone15,2\t";
    EXPECT_EQ(deviceModelIdentifier(), " iPhone15,2\t");
    device.environment["SIMULATOR_MODEL_IDENTIFIER"] = "";
    EXPECT_FALSE(deviceFields().contains("devmodel"));
    EXPECT_EQ(device.unameCalls, 0);
}

TEST_F(DeviceFieldsTest, MachineNameIsTrimmedOfControlCharactersAtBothEnds) {
    const std::pair<std::string, std::string> cases[] = {
        {testing::unameField("x86_64"), "x86_64"},
        {testing::unameField("\x01\x7F"
                             "a\tb\x1F"),
         "a\tb"},
        {testing::unameField(" arm "), " arm "},
        {testing::unameField(""), ""},
        {"", ""},
        // Bytes above 127 are Latin-1 characters; U+0085 (Cc) and U+00AD (Cf) trim.
        {testing::unameField("\x85\xE9t\xE9\xAD"), "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& [machine, model] : cases) {
        device.machine = machine;
        EXPECT_EQ(deviceModelIdentifier(), model);
    }
    device.machine = testing::unameField("");
    EXPECT_FALSE(deviceFields().contains("devmodel"));
}

TEST_F(DeviceFieldsTest, AllZeroAdvertisingIdIsLeftOut) {
    EXPECT_EQ(deviceFields()["ifa"], "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    device.advertisingId = {};
    EXPECT_EQ(advertisingIdentifierText(), "");
    Json body = deviceFields();
    EXPECT_FALSE(body.contains("ifa"));
    EXPECT_EQ(body["ifatype"], "IDFA");
}

TEST_F(DeviceFieldsTest, ConnectionTypeIsAlwaysWritten) {
    EXPECT_EQ(deviceFields()["conntype"], "wifi");
    reachability.flags = 0;
    EXPECT_EQ(deviceFields()["conntype"], "");
    reachability.flags = platform::kReachabilityFlagReachable;
    reachability.failingReads = 5;
    EXPECT_EQ(deviceFields()["conntype"], "");
    reachability.failCreation = true;
    EXPECT_EQ(deviceFields()["conntype"], "");
}

TEST_F(DeviceFieldsTest, CarrierPropertiesAreReadTwiceWhenPresent) {
    EXPECT_FALSE(deviceFields().contains("carrier"));  // no carrier, none of its keys
    EXPECT_FALSE(deviceFields().contains("mcc"));

    auto carrier = std::make_shared<testing::FakeCarrier>();
    carrier->name.readings = {""};
    carrier->countryCode.readings = {"262", "310"};
    carrier->networkCode.readings = {"01", std::nullopt};
    device.carrier = carrier;
    Json body = deviceFields();
    EXPECT_FALSE(body.contains("carrier"));
    EXPECT_EQ(body["mcc"], "310");  // the second reading counts
    EXPECT_EQ(body["mnc"], "");     // present first, gone the second time
    EXPECT_EQ(carrier->name.reads, 1);
    EXPECT_EQ(carrier->countryCode.reads, 2);
}

// Per event: one environment read, one uname, one reachability reference read once (the
// second query answers from the stored flags) and detached at the end of the step, one
// carrier lookup.
TEST_F(DeviceFieldsTest, AsksThePlatformOncePerEvent) {
    reachability.flags = 0;
    device.carrier = std::make_shared<testing::FakeCarrier>();
    deviceFields();
    EXPECT_EQ(device.environmentReads, 1);
    EXPECT_EQ(device.unameCalls, 1);
    EXPECT_EQ(device.carrierLookups, 1);
    ASSERT_EQ(reachability.created.size(), 1u);
    EXPECT_EQ(reachability.created[0]->getFlagsCalls, 1);
    EXPECT_EQ(reachability.created[0]->setCallbackCalls, 1);
    EXPECT_EQ(reachability.created[0].use_count(), 1);  // the monitor is gone

    // Its announcement finds no monitor and posts nothing.
    int posted = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    auto token = center.addObserver("reachabilityChanged", [&](auto&, auto) { ++posted; });
    EXPECT_EQ(mainQueue.runAll(), 1u);
    center.removeObserver(token);
    EXPECT_EQ(posted, 0);
}

}  // namespace
}  // namespace VeltoSDK
