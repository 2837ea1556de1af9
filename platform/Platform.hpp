#pragma once

#include <functional>

namespace VeltoSDK::platform {

class BundleInfo;
class Clock;
class DeviceInfo;
class HttpClient;
class LocaleInfo;
class MainQueue;
class NetworkReachabilityService;
class StandardOutput;

// The operating-system services the library uses, one member each. The library reaches them
// only through current(); linux/LinuxPlatform.cpp assembles the real ones.
struct Platform {
    BundleInfo* bundleInfo;
    Clock* clock;
    DeviceInfo* deviceInfo;
    HttpClient* httpClient;
    LocaleInfo* localeInfo;
    MainQueue* mainQueue;
    NetworkReachabilityService* networkReachability;
    StandardOutput* standardOutput;
};

// The real services. Each is made on first use and never destroyed, so threads still running
// at exit never touch a destroyed object.
const Platform& linuxPlatform();

// The platform in use: the real one, unless a ScopedPlatform is alive.
const Platform& current();

// For tests: for its lifetime, the real platform with the services that `fake` replaces; then
// the one before again. A service the test leaves alone is the real one, never a fake left
// over from another test. The fakes must outlive it.
class ScopedPlatform {
public:
    explicit ScopedPlatform(const std::function<void(Platform&)>& fake);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform platform_;
    const Platform* previous_;
};

}  // namespace VeltoSDK::platform
