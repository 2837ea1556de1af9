#pragma once

namespace VeltoSDK::platform {

class BundleInfo;
class Clock;
class DeviceInfo;
class HttpClient;
class LocaleInfo;
class MainQueue;
class NetworkReachabilityService;
class StandardOutput;

// The OS services the library uses. By default the Linux implementations; tests install
// fakes with ScopedServices.
BundleInfo& bundleInfo();
Clock& clock();
DeviceInfo& deviceInfo();
HttpClient& httpClient();
LocaleInfo& localeInfo();
MainQueue& mainQueue();
NetworkReachabilityService& networkReachability();
StandardOutput& standardOutput();

struct Services {
    BundleInfo* bundleInfo = nullptr;
    Clock* clock = nullptr;
    DeviceInfo* deviceInfo = nullptr;
    HttpClient* httpClient = nullptr;
    LocaleInfo* localeInfo = nullptr;
    MainQueue* mainQueue = nullptr;
    NetworkReachabilityService* networkReachability = nullptr;
    StandardOutput* standardOutput = nullptr;
};

// Installs the non-null members of `fakes` for its lifetime and restores the previous ones
// after. The fakes must outlive it. Also the way a host with its own loop installs its own
// main queue.
class ScopedServices {
public:
    explicit ScopedServices(const Services& fakes);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services previous_;
};

}  // namespace VeltoSDK::platform
