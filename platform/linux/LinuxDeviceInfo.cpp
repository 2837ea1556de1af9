#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/linux/Linux.hpp"

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

class LinuxDeviceInfo final : public DeviceInfo {
public:
    std::string systemVersion() override { return osSystemVersion(); }

    bool isOperatingSystemAtLeast(int major, int minor, int patch) override {
        return versionIsAtLeast(systemVersion(), major, minor, patch);
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
        // The field ends at its first zero byte; the zeros after it are not part of the name.
        return std::string(names.machine, strnlen(names.machine, sizeof names.machine));
    }

    // Linux has no advertising identifier, tracking switch, tracking consent or carrier
    // service: these read as unset, and the host supplies its own through HostInfo.
    UUID advertisingIdentifier() override { return {}; }
    bool isAdvertisingTrackingEnabled() override { return false; }
    int trackingAuthorizationStatus() override { return 0; }
    std::unique_ptr<Carrier> subscriberCellularProvider() override { return nullptr; }
};

}  // namespace

DeviceInfo& deviceInfo() {
    static LinuxDeviceInfo* instance = new LinuxDeviceInfo;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
