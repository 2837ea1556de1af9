#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <VeltoSDK/HostInfo.hpp>

#include <cstdio>
#include <cstdlib>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

std::string commandOutput(const char* command) {
    std::string output;
    if (FILE* pipe = popen(command, "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        pclose(pipe);
    }
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

class LinuxDeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override { HostInfo::reset(); }
    DeviceInfo& device = linux_os::deviceInfo();

    bool atLeast14(const std::string& version) {
        HostInfo::setSystemVersion(version);
        return device.isOperatingSystemAtLeast(14, 0, 0);
    }
};

TEST_F(LinuxDeviceInfoTest, UnameMachineIsTheWholeFieldAndTrimsToUnameM) {
    std::string machine = device.unameMachine();
    ASSERT_EQ(machine.size(), sizeof(utsname::machine));
    EXPECT_EQ(machine.back(), '\0');
    std::string trimmed = machine.substr(0, machine.find('\0'));
    EXPECT_EQ(machine.find_first_not_of('\0', trimmed.size()), std::string::npos);
    std::string expected = commandOutput("uname -m");
    if (expected.empty()) GTEST_SKIP() << "uname -m could not be run";
    EXPECT_EQ(trimmed, expected);
}

TEST_F(LinuxDeviceInfoTest, OperatingSystemVersionComparesAsDottedNumbers) {
    for (const char* older : {"13.7", "13.99.99", "6.1.0-13-amd64"}) {
        EXPECT_FALSE(atLeast14(older)) << older;
    }
    for (const char* newer : {"14", "14.0", "14.0.0", "17.2.1", "100", "14.0-beta"}) {
        EXPECT_TRUE(atLeast14(newer)) << newer;
    }
    HostInfo::setSystemVersion("14.2");
    EXPECT_TRUE(device.isOperatingSystemAtLeast(14, 1, 9));
    EXPECT_FALSE(device.isOperatingSystemAtLeast(14, 2, 1));
}

TEST_F(LinuxDeviceInfoTest, AVersionThatIsNoNumberIsNeverAtLeast) {
    for (const char* garbage :
         {"", "abc", "v14", ".14", "14..0", "14x", "-14", "14.", "99999999999999999999999"}) {
        EXPECT_FALSE(atLeast14(garbage)) << '"' << garbage << '"';
    }
}

TEST_F(LinuxDeviceInfoTest, EnvironmentIsReadAtEachCall) {
    const char* name = "VELTOSDK_TEST_VARIABLE";
    unsetenv(name);
    EXPECT_EQ(device.environmentValue(name), std::nullopt);
    setenv(name, " model 1 ", 1);
    EXPECT_EQ(device.environmentValue(name), " model 1 ");
    setenv(name, "", 1);
    EXPECT_EQ(device.environmentValue(name), "");
    // getenv itself would find "B=C" under the name "VELTOSDK_TEST_VARIABLE=B".
    setenv(name, "B=C", 1);
    EXPECT_EQ(device.environmentValue(std::string(name) + "=B"), std::nullopt);
    unsetenv(name);
}

TEST(LinuxBundleInfoTest, LibraryVersionIsTheProjectVersion) {
    EXPECT_EQ(linux_os::bundleInfo().libraryShortVersion(), VELTOSDK_EXPECTED_VERSION);
}

}  // namespace
}  // namespace VeltoSDK::platform
