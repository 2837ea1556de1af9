#include "Services.hpp"

#include <atomic>

#include "linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

// One slot per service: null means the Linux implementation.
struct Slots {
    std::atomic<BundleInfo*> bundleInfo{nullptr};
    std::atomic<Clock*> clock{nullptr};
    std::atomic<DeviceInfo*> deviceInfo{nullptr};
    std::atomic<HttpClient*> httpClient{nullptr};
    std::atomic<LocaleInfo*> localeInfo{nullptr};
    std::atomic<MainQueue*> mainQueue{nullptr};
    std::atomic<NetworkReachabilityService*> networkReachability{nullptr};
    std::atomic<StandardOutput*> standardOutput{nullptr};
};

Slots& slots() {
    static Slots* instance = new Slots;  // never destroyed: worker threads may outlive main
    return *instance;
}

template <typename T>
T& current(const std::atomic<T*>& slot, T& (*fallback)()) {
    T* installed = slot.load(std::memory_order_acquire);
    return installed ? *installed : fallback();
}

template <typename T>
void swapIn(std::atomic<T*>& slot, T* fake, T*& previous) {
    previous = slot.load(std::memory_order_acquire);
    if (fake) slot.store(fake, std::memory_order_release);
}

}  // namespace

BundleInfo& bundleInfo() { return current(slots().bundleInfo, linux_os::bundleInfo); }
Clock& clock() { return current(slots().clock, linux_os::clock); }
DeviceInfo& deviceInfo() { return current(slots().deviceInfo, linux_os::deviceInfo); }
HttpClient& httpClient() { return current(slots().httpClient, linux_os::httpClient); }
LocaleInfo& localeInfo() { return current(slots().localeInfo, linux_os::localeInfo); }
MainQueue& mainQueue() { return current(slots().mainQueue, linux_os::mainQueue); }
NetworkReachabilityService& networkReachability() {
    return current(slots().networkReachability, linux_os::networkReachability);
}
StandardOutput& standardOutput() {
    return current(slots().standardOutput, linux_os::standardOutput);
}

ScopedServices::ScopedServices(const Services& fakes) {
    Slots& s = slots();
    swapIn(s.bundleInfo, fakes.bundleInfo, previous_.bundleInfo);
    swapIn(s.clock, fakes.clock, previous_.clock);
    swapIn(s.deviceInfo, fakes.deviceInfo, previous_.deviceInfo);
    swapIn(s.httpClient, fakes.httpClient, previous_.httpClient);
    swapIn(s.localeInfo, fakes.localeInfo, previous_.localeInfo);
    swapIn(s.mainQueue, fakes.mainQueue, previous_.mainQueue);
    swapIn(s.networkReachability, fakes.networkReachability, previous_.networkReachability);
    swapIn(s.standardOutput, fakes.standardOutput, previous_.standardOutput);
}

ScopedServices::~ScopedServices() {
    Slots& s = slots();
    s.bundleInfo.store(previous_.bundleInfo, std::memory_order_release);
    s.clock.store(previous_.clock, std::memory_order_release);
    s.deviceInfo.store(previous_.deviceInfo, std::memory_order_release);
    s.httpClient.store(previous_.httpClient, std::memory_order_release);
    s.localeInfo.store(previous_.localeInfo, std::memory_order_release);
    s.mainQueue.store(previous_.mainQueue, std::memory_order_release);
    s.networkReachability.store(previous_.networkReachability, std::memory_order_release);
    s.standardOutput.store(previous_.standardOutput, std::memory_order_release);
}

}  // namespace VeltoSDK::platform
