#include "platform/Platform.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {

// Every thread and lock the library owns belongs to one of these services, so this is the one
// place that knows them all: handling of fork (making each safe across it, rebuilding the main
// queue and the HTTP client in the child) is registered here, once, when the platform is made.
const Platform& linuxPlatform() {
    static const Platform* assembly = new Platform{
        .bundleInfo = &linux_os::bundleInfo(),
        .clock = &linux_os::clock(),
        .deviceInfo = &linux_os::deviceInfo(),
        .httpClient = &linux_os::httpClient(),
        .localeInfo = &linux_os::localeInfo(),
        .mainQueue = &linux_os::mainQueue(),
        .networkReachability = &linux_os::networkReachability(),
        .standardOutput = &linux_os::standardOutput(),
    };
    return *assembly;
}

}  // namespace VeltoSDK::platform
