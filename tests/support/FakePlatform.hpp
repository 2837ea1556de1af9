#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Fakes.hpp"
#include "platform/BundleInfo.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/Dispatch.hpp"
#include "platform/NetworkReachability.hpp"

namespace VeltoSDK::testing {

// One carrier property: the readings it gives in turn (the last one repeats), and how often it
// was read.
struct CarrierProperty {
    std::vector<std::optional<std::string>> readings;
    int reads = 0;
    std::optional<std::string> next();
};

class FakeCarrier final : public platform::Carrier {
public:
    CarrierProperty name{{"Carrier One"}};
    CarrierProperty countryCode{{"262"}};
    CarrierProperty networkCode{{"01"}};
    std::optional<std::string> carrierName() override { return name.next(); }
    std::optional<std::string> mobileCountryCode() override { return countryCode.next(); }
    std::optional<std::string> mobileNetworkCode() override { return networkCode.next(); }
};

// A non-zero advertising id, E621E1F8-C36C-495A-93FC-0C247A3E6E5F.
inline constexpr platform::UUID kSampleAdvertisingId{
    0xE6, 0x21, 0xE1, 0xF8, 0xC3, 0x6C, 0x49, 0x5A, 0x93, 0xFC, 0x0C, 0x24, 0x7A, 0x3E, 0x6E, 0x5F};

// A machine field as uname fills it: `name` followed by NULs up to 256 bytes.
std::string unameField(std::string_view name);

class FakeDeviceInfo final : public platform::DeviceInfo {
public:
    std::string version = "17.2";
    std::map<std::string, std::string, std::less<>> environment;
    std::string machine = unameField("arm64");
    platform::UUID advertisingId = kSampleAdvertisingId;
    bool trackingEnabled = true;
    int trackingStatus = 3;
    // Null: no carrier. The returned carrier forwards to this one.
    std::shared_ptr<FakeCarrier> carrier;

    int environmentReads = 0;
    int unameCalls = 0;
    int carrierLookups = 0;

    std::string systemVersion() override { return version; }
    // Compares against `version`, read as major.minor.patch with missing parts 0.
    bool isOperatingSystemAtLeast(int major, int minor, int patch) override;
    std::optional<std::string> environmentValue(std::string_view name) override;
    std::string unameMachine() override;
    platform::UUID advertisingIdentifier() override { return advertisingId; }
    bool isAdvertisingTrackingEnabled() override { return trackingEnabled; }
    int trackingAuthorizationStatus() override { return trackingStatus; }
    std::unique_ptr<platform::Carrier> subscriberCellularProvider() override;
};

class FakeBundleInfo final : public platform::BundleInfo {
public:
    std::optional<std::string> appId = "com.example.shop";
    std::optional<std::string> version = "1.0";
    std::optional<std::string> mainBundleIdentifier() override { return appId; }
    std::optional<std::string> libraryShortVersion() override { return version; }
};

class FakeNetworkReachability final : public platform::NetworkReachability {
public:
    std::atomic<std::uint32_t> flags{platform::kReachabilityFlagReachable};
    // How many of the next reads fail.
    std::atomic<int> failingReads{0};

    std::atomic<int> getFlagsCalls{0};
    std::atomic<int> setCallbackCalls{0};
    std::atomic<int> setDispatchQueueCalls{0};
    std::atomic<bool> callbackAttached{false};
    std::atomic<bool> queueAttached{false};

    bool getFlags(std::uint32_t& out) override;
    bool setCallback(Callback callback, void* info) override;
    bool setDispatchQueue(platform::SerialQueue* queue) override;
};

// Hands out FakeNetworkReachability references configured from its own fields, and keeps
// them so tests can look at them after the monitor is gone.
class FakeNetworkReachabilityService final : public platform::NetworkReachabilityService {
public:
    std::uint32_t flags = platform::kReachabilityFlagReachable;
    int failingReads = 0;
    bool failCreation = false;

    std::vector<std::shared_ptr<FakeNetworkReachability>> created;
    std::vector<sockaddr_in> addresses;

    std::shared_ptr<platform::NetworkReachability> createWithAddress(
        const sockaddr_in& address) override;
};

// A main queue that runs only when the test says so.
class ManualMainQueue final : public platform::MainQueue {
public:
    void async(std::function<void()> task) override;
    size_t pending() const;
    // Runs the tasks queued so far, in order; returns how many ran.
    size_t runAll();

private:
    mutable std::mutex mutex_;
    std::vector<std::function<void()>> tasks_;
};

// Installs every fake platform service for one test.
class FakePlatformTest : public PlatformTest {
protected:
    FakeDeviceInfo device;
    FakeBundleInfo bundle;
    FakeNetworkReachabilityService reachability;
    ManualMainQueue mainQueue;

private:
    platform::ScopedServices fakes_{{.bundleInfo = &bundle,
                                     .deviceInfo = &device,
                                     .mainQueue = &mainQueue,
                                     .networkReachability = &reachability}};
};

}  // namespace VeltoSDK::testing
