#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
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

struct FakeClock final : platform::Clock {
    double seconds = 1700000000.0;
    double secondsSince1970() override { return seconds; }
};

// Collects what the library writes to standard output.
struct CapturingOutput final : platform::StandardOutput {
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
        // A write may hold several lines; each starts with its date's digits, while the lines
        // of a JSON body it quotes do not.
        static const std::regex lineStart("\n(?=\\d)"), date(R"(^\S+ \S+ (\S+ \[[^\]]*\]):\d+)");
        constexpr auto kFirstOnly = std::regex_constants::format_first_only;
        std::vector<std::string> lines;
        for (const std::string& text : writes()) {
            const auto end = text.end() - text.ends_with('\n');
            for (std::sregex_token_iterator line(text.begin(), end, lineStart, -1), last;
                 line != last; ++line)
                lines.push_back(std::regex_replace(line->str(), date, "$1", kFirstOnly));
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

struct FakeLocale final : platform::LocaleInfo {
    std::string locale = "en_US", zone = "UTC";
    std::optional<std::string> language = "en";
    std::string localeName() override { return locale; }
    std::string timeZoneId() override { return zone; }
    std::optional<std::string> languageCode() override { return language; }
};

struct FakeCarrier final : platform::Carrier {
    std::optional<std::string> name, countryCode, networkCode;
    std::optional<std::string> carrierName() override { return name; }
    std::optional<std::string> mobileCountryCode() override { return countryCode; }
    std::optional<std::string> mobileNetworkCode() override { return networkCode; }
};

struct FakeDeviceInfo final : platform::DeviceInfo {
    std::string version = "17.2";
    std::map<std::string, std::string, std::less<>> environment;
    std::string machine = "arm64";  // as uname fills it: followed by NULs up to 256 bytes
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
    std::string unameMachine() override { return machine + std::string(256 - machine.size(), 0); }
    platform::UUID advertisingIdentifier() override { return advertisingId; }
    bool isAdvertisingTrackingEnabled() override { return trackingEnabled; }
    int trackingAuthorizationStatus() override { return trackingStatus; }
    std::unique_ptr<platform::Carrier> subscriberCellularProvider() override {
        return carrier ? std::make_unique<FakeCarrier>(*carrier) : nullptr;
    }
};

struct FakeBundleInfo final : platform::BundleInfo {
    std::optional<std::string> appId = "com.example.shop", version = "1.0";
    std::optional<std::string> mainBundleIdentifier() override { return appId; }
    std::optional<std::string> libraryShortVersion() override { return version; }
};

struct FakeNetworkReachability final : platform::NetworkReachability {
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
struct FakeNetworkReachabilityService final : platform::NetworkReachabilityService {
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
struct ManualMainQueue final : platform::MainQueue {
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
