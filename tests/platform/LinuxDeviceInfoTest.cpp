#include <gtest/gtest.h>
#include <VeltoSDK/HostInfo.hpp>

#include <cstdlib>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

class LinuxDeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override { HostInfo::reset(); }
    DeviceInfo& device = linux_os::deviceInfo();
};

TEST_F(LinuxDeviceInfoTest, OperatingSystemVersionComparesAsDottedNumbers) {
    const std::pair<const char*, bool> atLeast14[] = {
        {"13.99.99", false}, {"6.1.0-13-amd64", false},
        {"14", true},        {"17.2.1", true},
        {"100", true},       {"14.0-beta", true},
        {"", false},         {"v14", false},
        {".14", false},      {"14..0", false},
        {"14x", false},      {"-14", false},
        {"14.", false},      {"99999999999999999999999", false}};
    for (const auto& [version, expected] : atLeast14) {
        HostInfo::setSystemVersion(version);
        EXPECT_EQ(device.isOperatingSystemAtLeast(14, 0, 0), expected) << '"' << version << '"';
    }
    HostInfo::setSystemVersion("14.2");
    EXPECT_TRUE(device.isOperatingSystemAtLeast(14, 1, 9));
    EXPECT_FALSE(device.isOperatingSystemAtLeast(14, 2, 1));
}

TEST_F(LinuxDeviceInfoTest, EnvironmentNameWithAnEqualsSignMatchesNothing) {
    setenv("VELTOSDK_TEST_VARIABLE", "B=C", 1);
    EXPECT_EQ(device.environmentValue("VELTOSDK_TEST_VARIABLE"), "B=C");
    EXPECT_EQ(device.environmentValue("VELTOSDK_TEST_VARIABLE=B"), std::nullopt);
    unsetenv("VELTOSDK_TEST_VARIABLE");
}

}  // namespace
}  // namespace VeltoSDK::platform
