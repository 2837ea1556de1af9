/// @file
/// Values the host app supplies where the operating system cannot: VeltoSDK::HostInfo.
#pragma once

#include <optional>
#include <string>

#include <VeltoSDK/export.h>

namespace VeltoSDK {

/// Values that the host app knows and the operating system cannot tell the library.
/// Each setter takes effect from the next event; all are safe to call from any thread, also
/// while events are fired. Static members only.
class VELTOSDK_API HostInfo {
public:
    /// The cellular carrier an event reports. An absent or empty property leaves its key out
    /// of the body ("carrier", "mcc", "mnc").
    struct Carrier {
        /// The carrier's name ("carrier").
        std::optional<std::string> name;
        /// The mobile country code ("mcc").
        std::optional<std::string> mobileCountryCode;
        /// The mobile network code ("mnc").
        std::optional<std::string> mobileNetworkCode;
    };

    /// The host app's identifier ("appid"); none by default, and none leaves "appid" out.
    static void setMainBundleIdentifier(std::optional<std::string> identifier);
    /// Replaces the system version read from the OS ("os"); none restores the OS's own.
    static void setSystemVersion(std::optional<std::string> version);
    /// The advertising identifier ("ifa"): a UUID in any letter case, sent in upper case.
    /// Anything else, or none, counts as the all-zero id, which leaves "ifa" out.
    static void setAdvertisingIdentifier(std::optional<std::string> uuidText);
    /// Whether the user allows tracking; false by default. Decides "late" only while the
    /// system version is below 14.
    static void setAdvertisingTrackingEnabled(bool enabled);
    /// The user's tracking decision, which decides "late" from system version 14 on:
    /// 0 not determined, 1 restricted, 2 denied, 3 authorized; any other value counts as 0.
    static void setTrackingAuthorizationStatus(int status);
    /// The cellular carrier; none (the default) leaves all three carrier keys out.
    static void setCarrier(std::optional<Carrier> carrier);

    /// Back to the defaults: no app id, the OS's version, all-zero id, tracking disabled,
    /// status 0, no carrier.
    static void reset();
};

}  // namespace VeltoSDK
