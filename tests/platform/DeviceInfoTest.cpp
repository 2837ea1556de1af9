#include <gtest/gtest.h>
#include <VeltoSDK/HostInfo.hpp>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

class DeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override { HostInfo::reset(); }
    DeviceInfo& device = linux_os::deviceInfo();
};

TEST_F(DeviceInfoTest, ValuesThatMakeNoSenseReadAsTheNeutralOne) {
    const std::string osVersion = device.systemVersion();
    HostInfo::setSystemVersion("99.1");
    HostInfo::setSystemVersion(std::nullopt);
    EXPECT_EQ(device.systemVersion(), osVersion);
    for (std::optional<std::string> id : {std::optional<std::string>("not a uuid"), {}}) {
        HostInfo::setAdvertisingIdentifier("01234567-89ab-cdef-fedc-ba9876543210");
        EXPECT_EQ(uuidString(device.advertisingIdentifier()),
                  "01234567-89AB-CDEF-FEDC-BA9876543210");
        HostInfo::setAdvertisingIdentifier(id);
        EXPECT_EQ(device.advertisingIdentifier(), UUID{});
    }
    for (int status : {4, -1, 1000}) {
        HostInfo::setTrackingAuthorizationStatus(3);
        HostInfo::setTrackingAuthorizationStatus(status);
        EXPECT_EQ(device.trackingAuthorizationStatus(), 0) << status;
    }
}

// Readers see one whole value or the other while a writer replaces them, never a mix.
TEST_F(DeviceInfoTest, ReadersNeverSeeAHalfWrittenValue) {
    const std::string longText(4096, 'L'), shortText = "1.2";
    HostInfo::setSystemVersion(shortText);
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            HostInfo::setSystemVersion(i % 2 ? longText : shortText);
            HostInfo::setCarrier(HostInfo::Carrier{i % 2 ? longText : shortText, "1", "2"});
        }
        writing = false;
    });
    int bad = 0;
    for (int i = 0; i < 200000 && writing; ++i) {
        std::string version = device.systemVersion();
        auto carrier = device.subscriberCellularProvider();
        auto name = carrier ? carrier->carrierName() : shortText;
        bad += (version != longText && version != shortText) ||
               (name != longText && name != shortText);
    }
    writer.join();
    EXPECT_EQ(bad, 0);
}

TEST_F(DeviceInfoTest, OperatingSystemVersionComparesAsDottedNumbers) {
    const std::pair<bool, std::vector<const char*>> atLeast14[] = {
        {true, {"14", "17.2.1", "100", "14.0-beta", "14.0.0.1"}},
        {false,
         {"13.99.99", "13.99.99.99", "6.1.0-13-amd64", "", "v14", ".14", "14..0", "14x", "-14",
          "14.", "14.0.0..1", "99999999999999999999999"}}};
    for (const auto& [expected, versions] : atLeast14)
        for (const char* version : versions) {
            HostInfo::setSystemVersion(version);
            EXPECT_EQ(device.isOperatingSystemAtLeast(14, 0, 0), expected) << '"' << version << '"';
        }
    HostInfo::setSystemVersion("14.2");
    EXPECT_TRUE(device.isOperatingSystemAtLeast(14, 1, 9));
    EXPECT_FALSE(device.isOperatingSystemAtLeast(14, 2, 1));
}

TEST_F(DeviceInfoTest, EnvironmentNameWithAnEqualsSignMatchesNothing) {
    setenv("VELTOSDK_TEST_VARIABLE", "B=C", 1);
    EXPECT_EQ(device.environmentValue("VELTOSDK_TEST_VARIABLE"), "B=C");
    EXPECT_EQ(device.environmentValue("VELTOSDK_TEST_VARIABLE=B"), std::nullopt);
    EXPECT_EQ(device.environmentValue(std::string_view("VELTOSDK_TEST_VARIABLE\0", 23)),
              std::nullopt);
    unsetenv("VELTOSDK_TEST_VARIABLE");
    const std::string longName(100, 'V');  // longer than a name is usually
    setenv(longName.c_str(), "long", 1);
    EXPECT_EQ(device.environmentValue(longName), "long");
    unsetenv(longName.c_str());
}

}  // namespace
}  // namespace VeltoSDK::platform
