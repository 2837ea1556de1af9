#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Sourcefiles/VeltoSettings.hpp"
#include "platform/BundleInfo.hpp"
#include "platform/Clock.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/Dispatch.hpp"
#include "platform/HttpClient.hpp"
#include "platform/LocaleInfo.hpp"
#include "platform/NetworkReachability.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace VeltoSDK::testing {

class FakeClock final : public platform::Clock {
public:
    double seconds = 1700000000.0;
    double secondsSince1970() override { return seconds; }
};

// Collects what the library writes to standard output.
class CapturingOutput final : public platform::StandardOutput {
public:
    std::atomic<size_t> dropped{0};  // lines "lost" while stuck, reported once
    size_t takeDroppedLineCount() override { return dropped.exchange(0); }
    void write(std::string_view text) override {
        std::lock_guard lock(mutex_);
        writes_.emplace_back(text);
    }
    std::vector<std::string> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    // The log lines without the date (their first two words), the line number and the line
    // feed: "[tag] [file] function -> message".
    std::vector<std::string> lines() const {
        std::vector<std::string> lines;
        for (std::string_view written : writes()) {
            // A write may hold several lines; each starts with its date's digits, while the
            // lines of a JSON body it quotes do not.
            while (!written.empty()) {
                size_t end = written.find('\n');
                while (end != written.npos && end + 1 < written.size() &&
                       !std::isdigit(static_cast<unsigned char>(written[end + 1])))
                    end = written.find('\n', end + 1);
                std::string text(written.substr(0, end));
                written.remove_prefix(end == written.npos ? written.size() : end + 1);
                text.erase(0, text.find(' ', text.find(' ') + 1) + 1);
                const size_t number = text.find("]:") + 1, stop = text.find(' ', number);
                if (number != 0) text.erase(number, stop - number);
                lines.push_back(text);
            }
        }
        return lines;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        writes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> writes_;
};

class FakeLocale final : public platform::LocaleInfo {
public:
    std::string locale = "en_US", zone = "UTC";
    std::optional<std::string> language = "en";
    std::string localeName() override { return locale; }
    std::string timeZoneId() override { return zone; }
    std::optional<std::string> languageCode() override { return language; }
};

class FakeCarrier final : public platform::Carrier {
public:
    std::optional<std::string> name, countryCode, networkCode;
    std::optional<std::string> carrierName() override { return name; }
    std::optional<std::string> mobileCountryCode() override { return countryCode; }
    std::optional<std::string> mobileNetworkCode() override { return networkCode; }
};

// A machine field as uname fills it: `name` followed by NULs up to 256 bytes.
inline std::string unameField(std::string name) {
    name.resize(256, '\0');
    return name;
}

class FakeDeviceInfo final : public platform::DeviceInfo {
public:
    std::string version = "17.2";
    std::map<std::string, std::string, std::less<>> environment;
    std::string machine = unameField("arm64");
    platform::UUID advertisingId = {0xE6, 0x21, 0xE1, 0xF8, 0xC3, 0x6C, 0x49, 0x5A,
                                    0x93, 0xFC, 0x0C, 0x24, 0x7A, 0x3E, 0x6E, 0x5F};
    bool trackingEnabled = true;
    int trackingStatus = 3;
    std::optional<FakeCarrier> carrier;

    std::string systemVersion() override { return version; }
    bool isOperatingSystemAtLeast(int major, int minor, int patch) override {
        return platform::versionIsAtLeast(version, major, minor, patch);
    }
    std::optional<std::string> environmentValue(std::string_view name) override {
        auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional(found->second);
    }
    std::string unameMachine() override { return machine; }
    platform::UUID advertisingIdentifier() override { return advertisingId; }
    bool isAdvertisingTrackingEnabled() override { return trackingEnabled; }
    int trackingAuthorizationStatus() override { return trackingStatus; }
    std::unique_ptr<platform::Carrier> subscriberCellularProvider() override {
        return carrier ? std::make_unique<FakeCarrier>(*carrier) : nullptr;
    }
};

class FakeBundleInfo final : public platform::BundleInfo {
public:
    std::optional<std::string> appId = "com.example.shop", version = "1.0";
    std::optional<std::string> mainBundleIdentifier() override { return appId; }
    std::optional<std::string> libraryShortVersion() override { return version; }
};

class FakeNetworkReachability final : public platform::NetworkReachability {
public:
    std::atomic<std::uint32_t> flags{platform::kReachabilityFlagReachable};
    std::atomic<int> failingReads{0}, reads{0};  // how many of the next reads fail; reads made
    std::atomic<bool> callbackAttached{false}, queueAttached{false};

    bool getFlags(std::uint32_t& out) override {
        if (++reads, failingReads > 0) return --failingReads, false;
        return out = flags, true;
    }
    bool setCallback(Callback f, void*) override { return callbackAttached = f != nullptr, true; }
    bool setDispatchQueue(platform::SerialQueue* q) override {
        return queueAttached = q != nullptr, true;
    }
};

// Hands out references configured from its fields and keeps them for the test to inspect.
class FakeNetworkReachabilityService final : public platform::NetworkReachabilityService {
public:
    std::uint32_t flags = platform::kReachabilityFlagReachable;
    int failingReads = 0;
    bool failCreation = false;
    std::vector<std::shared_ptr<FakeNetworkReachability>> created;

    std::shared_ptr<platform::NetworkReachability> createWithAddress(const sockaddr_in&) override {
        if (failCreation) return nullptr;
        auto made = created.emplace_back(std::make_shared<FakeNetworkReachability>());
        made->flags = flags;
        made->failingReads = failingReads;
        return made;
    }
};

// A main queue that runs only when the test says so.
class ManualMainQueue final : public platform::MainQueue {
public:
    void async(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    // Runs the tasks queued so far, in order; returns how many ran.
    size_t runAll() {
        std::unique_lock lock(mutex_);
        auto tasks = std::exchange(tasks_, {});
        lock.unlock();
        for (auto& task : tasks) task();
        return tasks.size();
    }

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> tasks_;
};

// Installs a fake of every platform service but the HTTP client for one test.
class FakePlatformTest : public ::testing::Test {
protected:
    FakeClock clock;
    CapturingOutput output;
    FakeLocale locale;
    FakeDeviceInfo device;
    FakeBundleInfo bundle;
    FakeNetworkReachabilityService reachability;
    ManualMainQueue mainQueue;

private:
    platform::ScopedPlatform fakes_{[this](platform::Platform& p) {
        p = {&bundle, &clock, &device, p.httpClient, &locale, &mainQueue, &reachability, &output};
    }};
    // The shared settings stamp init_time when they are made: made under the fake clock, it is
    // a known value (1700000000000) in every test.
    const bool settingsMade_ = (VeltoSettings::shared(), true);
};

}  // namespace VeltoSDK::testing
