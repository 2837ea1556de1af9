#pragma once

#include <optional>
#include <string>

#include <VeltoSDK/export.h>

namespace VeltoSDK {

// Values that the host app knows and the operating system cannot tell the library.
// Each setter takes effect from the next event; all are safe to call from any thread.
class VELTOSDK_API HostInfo {
public:
    struct Carrier {
        std::optional<std::string> name;
        std::optional<std::string> mobileCountryCode;
        std::optional<std::string> mobileNetworkCode;
    };

    // The host app's identifier ("appid"); none by default.
    static void setMainBundleIdentifier(std::optional<std::string> identifier);
    // Replaces the system version read from the OS; none restores the OS's own.
    static void setSystemVersion(std::optional<std::string> version);
    // A UUID in any letter case; anything else, or none, counts as the all-zero id.
    static void setAdvertisingIdentifier(std::optional<std::string> uuidText);
    static void setAdvertisingTrackingEnabled(bool enabled);
    // 0 not determined, 1 restricted, 2 denied, 3 authorized; any other value counts as 0.
    static void setTrackingAuthorizationStatus(int status);
    static void setCarrier(std::optional<Carrier> carrier);

    // Back to the defaults: no app id, the OS's version, all-zero id, tracking disabled,
    // status 0, no carrier.
    static void reset();
};

}  // namespace VeltoSDK
