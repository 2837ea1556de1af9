#include "platform/Platform.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {

// Every thread and lock the library owns belongs to one of these services. Their locks are
// ForkSafeMutexes and the two threads (the HTTP worker, the main queue's) are rebuilt in a
// forked child: linux/ForkSafety.cpp is the one place that handles fork.
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
