#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace VeltoSDK::platform {

// A cellular carrier. Each property is read from the OS at every call.
class Carrier {
public:
    virtual ~Carrier() = default;
    virtual std::optional<std::string> carrierName() = 0;
    virtual std::optional<std::string> mobileCountryCode() = 0;
    virtual std::optional<std::string> mobileNetworkCode() = 0;
};

using UUID = std::array<std::uint8_t, 16>;

// What the device says about itself. Every call reads afresh.
class DeviceInfo {
public:
    virtual ~DeviceInfo() = default;

    virtual std::string systemVersion() = 0;
    virtual bool isOperatingSystemAtLeast(int major, int minor, int patch) = 0;

    // One variable of the process environment; none when it is not set.
    virtual std::optional<std::string> environmentValue(std::string_view name) = 0;
    // The machine field of `uname`, all of its bytes, trailing NULs included.
    virtual std::string unameMachine() = 0;

    virtual UUID advertisingIdentifier() = 0;
    virtual bool isAdvertisingTrackingEnabled() = 0;
    // 0 not determined, 1 restricted, 2 denied, 3 authorized.
    virtual int trackingAuthorizationStatus() = 0;
    // The subscriber's cellular provider; none when there is no carrier.
    virtual std::unique_ptr<Carrier> subscriberCellularProvider() = 0;
};

// Whether a version text such as "17.2.1" or "6.1.0-13-amd64" is at least major.minor.patch;
// false when it does not start with dotted numbers.
bool versionIsAtLeast(std::string_view version, int major, int minor, int patch);
// The canonical 36-character upper-case form, 8-4-4-4-12.
std::string uuidString(const UUID& uuid);
// Parses a UUID in any letter case; none when the text is not one.
std::optional<UUID> parseUUID(std::string_view text);

}  // namespace VeltoSDK::platform
