#pragma once

#include <VeltoSDK/HostInfo.hpp>

#include <memory>
#include <optional>
#include <string>

#include "platform/DeviceInfo.hpp"

namespace VeltoSDK {

// What the host app has supplied through HostInfo. Each value the host gave replaces the
// platform's own; where it gave none, the platform answers.
struct HostValues {
    std::optional<std::string> mainBundleIdentifier;
    std::optional<std::string> systemVersion;
    std::optional<platform::UUID> advertisingIdentifier;
    std::optional<bool> advertisingTrackingEnabled;
    std::optional<int> trackingAuthorizationStatus;
    std::optional<HostInfo::Carrier> carrier;
};

// The values as last set, as one immutable snapshot: a writer on another thread replaces the
// snapshot and never changes one that a reader holds.
std::shared_ptr<const HostValues> hostValues();

}  // namespace VeltoSDK
