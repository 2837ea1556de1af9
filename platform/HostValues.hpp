#pragma once

#include <VeltoSDK/HostInfo.hpp>

#include <memory>
#include <optional>
#include <string>

#include "DeviceInfo.hpp"

namespace VeltoSDK::platform {

// What the host app has supplied through VeltoSDK::HostInfo.
struct HostValues {
    std::optional<std::string> mainBundleIdentifier;
    std::optional<std::string> systemVersion;
    UUID advertisingIdentifier{};
    bool advertisingTrackingEnabled = false;
    int trackingAuthorizationStatus = 0;
    std::optional<HostInfo::Carrier> carrier;
};

// The values as last set, as one immutable snapshot: a writer on another thread replaces the
// snapshot and never changes one that a reader holds.
std::shared_ptr<const HostValues> hostValues();

}  // namespace VeltoSDK::platform
