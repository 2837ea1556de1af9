#include <sys/utsname.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "../HostValues.hpp"
#include "Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

std::optional<std::string> osReleaseVersionId(const char* path) {
    std::ifstream file(path);
    std::string line;
    constexpr std::string_view kKey = "VERSION_ID=";
    while (std::getline(file, line)) {
        if (line.rfind(kKey, 0) != 0) continue;
        std::string value = line.substr(kKey.size());
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        if (value.empty()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

// The distribution's version (VERSION_ID of os-release) is the closest thing to a system
// version that users recognise; distributions without one (rolling releases) give the kernel
// release instead. Read once: neither changes while a process runs.
std::string readSystemVersion() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        if (auto version = osReleaseVersionId(path)) return *version;
    }
    struct utsname names {};
    if (uname(&names) == 0) return names.release;
    return "";
}

const std::string& osSystemVersion() {
    static const std::string* version = new std::string(readSystemVersion());
    return *version;
}

// The first three of the leading dotted numbers, missing ones 0, as in "14", "17.2.1" or the
// kernel's "6.1.0-13-amd64". None when the text does not start with a number or a number is
// malformed ("14..0", "v14", "14x"). Read for every event, so nothing is allocated.
std::optional<std::array<long, 3>> leadingVersion(std::string_view text) {
    std::array<long, 3> numbers{};
    const char* position = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t count = 0;; ++count) {
        long number = 0;
        auto [next, error] = std::from_chars(position, end, number);
        if (error != std::errc() || number < 0) return std::nullopt;
        if (count < numbers.size()) numbers[count] = number;
        position = next;
        if (position == end) return numbers;
        if (*position != '.') break;
        ++position;
    }
    constexpr std::string_view kSuffixStarts = "-+~ _";
    if (kSuffixStarts.find(*position) == std::string_view::npos) return std::nullopt;
    return numbers;
}

class HostCarrier final : public Carrier {
public:
    std::optional<std::string> carrierName() override { return read(&HostInfo::Carrier::name); }
    std::optional<std::string> mobileCountryCode() override {
        return read(&HostInfo::Carrier::mobileCountryCode);
    }
    std::optional<std::string> mobileNetworkCode() override {
        return read(&HostInfo::Carrier::mobileNetworkCode);
    }

private:
    // The carrier may be changed or removed by the host between two reads.
    static std::optional<std::string> read(std::optional<std::string> HostInfo::Carrier::*field) {
        auto values = hostValues();
        if (!values->carrier) return std::nullopt;
        return (*values->carrier).*field;
    }
};

class LinuxDeviceInfo final : public DeviceInfo {
public:
    std::string systemVersion() override {
        auto values = hostValues();
        return values->systemVersion ? *values->systemVersion : osSystemVersion();
    }

    bool isOperatingSystemAtLeast(int major, int minor, int patch) override {
        std::optional<std::array<long, 3>> numbers = leadingVersion(systemVersion());
        return numbers && *numbers >= std::array<long, 3>{major, minor, patch};
    }

    std::optional<std::string> environmentValue(std::string_view name) override {
        // getenv would match "A=B" against the variable A with a value starting "B=".
        if (name.empty() || name.find('=') != name.npos || name.find('\0') != name.npos) {
            return std::nullopt;
        }
        // Read for every event: a name of the usual length is terminated on the stack.
        std::array<char, 64> shortName;
        std::string longName;
        const char* terminated = shortName.data();
        if (name.size() < shortName.size()) {
            std::memcpy(shortName.data(), name.data(), name.size());
            shortName[name.size()] = '\0';
        } else {
            longName = name;
            terminated = longName.c_str();
        }
        const char* value = std::getenv(terminated);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    }

    std::string unameMachine() override {
        struct utsname names {};
        (void)uname(&names);  // on failure the zero-filled field reads as no machine
        return std::string(names.machine, sizeof names.machine);
    }

    UUID advertisingIdentifier() override { return hostValues()->advertisingIdentifier; }
    bool isAdvertisingTrackingEnabled() override {
        return hostValues()->advertisingTrackingEnabled;
    }
    int trackingAuthorizationStatus() override { return hostValues()->trackingAuthorizationStatus; }

    std::unique_ptr<Carrier> subscriberCellularProvider() override {
        if (!hostValues()->carrier) return nullptr;
        return std::make_unique<HostCarrier>();
    }
};

}  // namespace

DeviceInfo& deviceInfo() {
    static LinuxDeviceInfo* instance = new LinuxDeviceInfo;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
