#include <gtest/gtest.h>

#include "platform/DeviceInfo.hpp"

namespace VeltoSDK::platform {
namespace {

constexpr UUID kSample = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                          0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

TEST(UUIDTest, RendersUpperCaseInGroupsOf8_4_4_4_12) {
    EXPECT_EQ(uuidString(kSample), "01234567-89AB-CDEF-FEDC-BA9876543210");
    EXPECT_EQ(uuidString(UUID{}), "00000000-0000-0000-0000-000000000000");
}

TEST(UUIDTest, ParsesAnyLetterCaseBackToTheSameBytes) {
    EXPECT_EQ(parseUUID("01234567-89AB-CDEF-FEDC-BA9876543210"), kSample);
    EXPECT_EQ(parseUUID("01234567-89ab-cdef-fedc-ba9876543210"), kSample);
    EXPECT_EQ(parseUUID("01234567-89aB-CdEf-FEdc-bA9876543210"), kSample);
    UUID all = {};
    all.fill(0xFF);
    EXPECT_EQ(parseUUID(uuidString(all)), all);
}

TEST(UUIDTest, RefusesEverythingButThe36CharacterForm) {
    EXPECT_FALSE(parseUUID(""));
    EXPECT_FALSE(parseUUID("0123456789ABCDEFFEDCBA9876543210"));
    EXPECT_FALSE(parseUUID("{01234567-89AB-CDEF-FEDC-BA9876543210}"));
    EXPECT_FALSE(parseUUID("01234567-89AB-CDEF-FEDC-BA987654321"));
    EXPECT_FALSE(parseUUID("01234567-89AB-CDEF-FEDC-BA98765432100"));
    EXPECT_FALSE(parseUUID("0123456-789AB-CDEF-FEDC-BA9876543210"));
    EXPECT_FALSE(parseUUID("01234567-89AB-CDEF-FEDC+BA9876543210"));
    EXPECT_FALSE(parseUUID("01234567-89AB-CDEF-FEDC-BA987654321G"));
    EXPECT_FALSE(parseUUID(" 1234567-89AB-CDEF-FEDC-BA9876543210"));
}

}  // namespace
}  // namespace VeltoSDK::platform
