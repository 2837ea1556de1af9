#include <gtest/gtest.h>

#include "platform/DeviceInfo.hpp"

namespace VeltoSDK::platform {
namespace {

TEST(UUIDTest, RoundTripsInAnyCaseAndRefusesOtherForms) {
    constexpr UUID kSample = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                              0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    EXPECT_EQ(uuidString(kSample), "01234567-89AB-CDEF-FEDC-BA9876543210");
    EXPECT_EQ(parseUUID("01234567-89aB-CdEf-FEdc-bA9876543210"), kSample);
    for (const char* text :
         {"", "0123456789ABCDEFFEDCBA9876543210", "{01234567-89AB-CDEF-FEDC-BA9876543210}",
          "01234567-89AB-CDEF-FEDC-BA987654321", "0123456-789AB-CDEF-FEDC-BA9876543210",
          "01234567-89AB-CDEF-FEDC+BA9876543210", "01234567-89AB-CDEF-FEDC-BA987654321G"}) {
        EXPECT_FALSE(parseUUID(text)) << text;
    }
}

}  // namespace
}  // namespace VeltoSDK::platform
