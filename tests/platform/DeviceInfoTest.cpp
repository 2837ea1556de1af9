#include <gtest/gtest.h>

#include "platform/DeviceInfo.hpp"

namespace VeltoSDK::platform {
namespace {

TEST(DeviceInfoTest, VersionsCompareAsDottedNumbers) {
    const std::pair<bool, std::vector<const char*>> atLeast14[] = {
        {true, {"14", "17.2.1", "100", "14.0-beta", "14.0.0.1"}},
        {false,
         {"13.99.99", "13.99.99.99", "6.1.0-13-amd64", "", "v14", ".14", "14..0", "14x", "-14",
          "14.", "14.0.0..1", "99999999999999999999999"}}};
    for (const auto& [expected, versions] : atLeast14)
        for (const char* version : versions)
            EXPECT_EQ(versionIsAtLeast(version, 14, 0, 0), expected) << '"' << version << '"';
    EXPECT_TRUE(versionIsAtLeast("14.2", 14, 1, 9));
    EXPECT_FALSE(versionIsAtLeast("14.2", 14, 2, 1));
}

}  // namespace
}  // namespace VeltoSDK::platform
