#include <gtest/gtest.h>
#include <VeltoSDK/HostInfo.hpp>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/HostValues.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

class HostInfoTest : public ::testing::Test {
protected:
    void SetUp() override { HostInfo::reset(); }
    void TearDown() override { HostInfo::reset(); }
    DeviceInfo& device = linux_os::deviceInfo();
    BundleInfo& bundle = linux_os::bundleInfo();
};

TEST_F(HostInfoTest, ResetRestoresTheDefaults) {
    const std::string osVersion = device.systemVersion();
    ASSERT_FALSE(osVersion.empty());
    HostInfo::setMainBundleIdentifier("com.example.app");
    HostInfo::setSystemVersion("99.1");
    HostInfo::setAdvertisingIdentifier("01234567-89ab-cdef-fedc-ba9876543210");
    HostInfo::setAdvertisingTrackingEnabled(true);
    HostInfo::setTrackingAuthorizationStatus(3);
    HostInfo::setCarrier(HostInfo::Carrier{"Carrier", "262", "01"});

    EXPECT_EQ(bundle.mainBundleIdentifier(), "com.example.app");
    EXPECT_EQ(device.systemVersion(), "99.1");
    EXPECT_EQ(uuidString(device.advertisingIdentifier()), "01234567-89AB-CDEF-FEDC-BA9876543210");
    EXPECT_TRUE(device.isAdvertisingTrackingEnabled());
    EXPECT_EQ(device.trackingAuthorizationStatus(), 3);
    EXPECT_NE(device.subscriberCellularProvider(), nullptr);
    HostInfo::setSystemVersion(std::nullopt);
    EXPECT_EQ(device.systemVersion(), osVersion);

    HostInfo::reset();
    EXPECT_EQ(bundle.mainBundleIdentifier(), std::nullopt);
    EXPECT_EQ(device.systemVersion(), osVersion);
    EXPECT_EQ(device.advertisingIdentifier(), UUID{});
    EXPECT_FALSE(device.isAdvertisingTrackingEnabled());
    EXPECT_EQ(device.trackingAuthorizationStatus(), 0);
    EXPECT_EQ(device.subscriberCellularProvider(), nullptr);
}

TEST_F(HostInfoTest, AnAdvertisingIdThatIsNoUUIDCountsAsAllZero) {
    HostInfo::setAdvertisingIdentifier("01234567-89AB-CDEF-FEDC-BA9876543210");
    HostInfo::setAdvertisingIdentifier("not a uuid");
    EXPECT_EQ(device.advertisingIdentifier(), UUID{});
    HostInfo::setAdvertisingIdentifier("01234567-89AB-CDEF-FEDC-BA9876543210");
    HostInfo::setAdvertisingIdentifier(std::nullopt);
    EXPECT_EQ(device.advertisingIdentifier(), UUID{});
}

TEST_F(HostInfoTest, AnUnknownTrackingStatusReadsAsNotDetermined) {
    for (int status : {4, 7, -1, 1000}) {
        HostInfo::setTrackingAuthorizationStatus(3);
        HostInfo::setTrackingAuthorizationStatus(status);
        EXPECT_EQ(device.trackingAuthorizationStatus(), 0) << status;
    }
    for (int status : {0, 1, 2, 3}) {
        HostInfo::setTrackingAuthorizationStatus(status);
        EXPECT_EQ(device.trackingAuthorizationStatus(), status);
    }
}

TEST_F(HostInfoTest, CarrierPropertiesAreReadAtEachCall) {
    HostInfo::setCarrier(HostInfo::Carrier{std::nullopt, "262", ""});
    auto carrier = device.subscriberCellularProvider();
    ASSERT_NE(carrier, nullptr);
    EXPECT_EQ(carrier->carrierName(), std::nullopt);
    EXPECT_EQ(carrier->mobileCountryCode(), "262");
    EXPECT_EQ(carrier->mobileNetworkCode(), "");

    HostInfo::setCarrier(HostInfo::Carrier{"Other", "310", "260"});
    EXPECT_EQ(carrier->carrierName(), "Other");
    HostInfo::setCarrier(std::nullopt);
    EXPECT_EQ(carrier->mobileCountryCode(), std::nullopt);
    EXPECT_EQ(device.subscriberCellularProvider(), nullptr);
}

// Readers must see one whole value or the other, never a mix, while a writer replaces them.
TEST_F(HostInfoTest, ReadersNeverSeeAHalfWrittenValue) {
    const std::string longVersion(4096, 'L');
    const std::string shortVersion = "1.2";
    const HostInfo::Carrier longCarrier{std::string(512, 'c'), "262", "01"};
    const HostInfo::Carrier shortCarrier{"x", "310", "260"};
    HostInfo::setSystemVersion(shortVersion);
    HostInfo::setCarrier(shortCarrier);

    std::atomic<bool> writing{true};
    std::atomic<int> bad{0};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            HostInfo::setSystemVersion(i % 2 ? longVersion : shortVersion);
            HostInfo::setCarrier(i % 2 ? longCarrier : shortCarrier);
            HostInfo::setMainBundleIdentifier(i % 2 ? longVersion : shortVersion);
        }
        writing = false;
    });
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            for (int i = 0; i < 200000 && writing; ++i) {
                std::string version = device.systemVersion();
                if (version != longVersion && version != shortVersion) ++bad;
                auto values = hostValues();
                const auto& name = values->carrier->name;
                const auto& code = values->carrier->mobileCountryCode;
                bool whole = (name == longCarrier.name && code == longCarrier.mobileCountryCode) ||
                             (name == shortCarrier.name && code == shortCarrier.mobileCountryCode);
                if (!whole) ++bad;
            }
        });
    }
    writer.join();
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace VeltoSDK::platform
