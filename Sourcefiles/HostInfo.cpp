#include <VeltoSDK/HostInfo.hpp>

#include <mutex>
#include <utility>

#include "Sourcefiles/HostValues.hpp"
#include "platform/ForkSafety.hpp"

namespace VeltoSDK {
namespace {

struct Store {
    platform::ForkSafeMutex mutex;
    std::shared_ptr<const HostValues> current = std::make_shared<const HostValues>();
};

Store& store() {
    static Store* instance = new Store;  // never destroyed: events may be fired during exit
    return *instance;
}

template <typename Change>
void update(Change change) {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    auto next = std::make_shared<HostValues>(*s.current);
    change(*next);
    s.current = std::move(next);
}

}  // namespace

void HostInfo::setMainBundleIdentifier(std::optional<std::string> identifier) {
    update([&](HostValues& v) { v.mainBundleIdentifier = std::move(identifier); });
}

void HostInfo::setSystemVersion(std::optional<std::string> version) {
    update([&](HostValues& v) { v.systemVersion = std::move(version); });
}

void HostInfo::setAdvertisingIdentifier(std::optional<std::string> uuidText) {
    platform::UUID uuid{};
    if (uuidText) uuid = platform::parseUUID(*uuidText).value_or(platform::UUID{});
    update([&](HostValues& v) { v.advertisingIdentifier = uuid; });
}

void HostInfo::setAdvertisingTrackingEnabled(bool enabled) {
    update([&](HostValues& v) { v.advertisingTrackingEnabled = enabled; });
}

void HostInfo::setTrackingAuthorizationStatus(int status) {
    // An unknown status must neither grant nor refuse tracking, so it reads as not determined.
    if (status < 0 || status > 3) status = 0;
    update([&](HostValues& v) { v.trackingAuthorizationStatus = status; });
}

void HostInfo::setCarrier(std::optional<Carrier> carrier) {
    update([&](HostValues& v) { v.carrier = std::move(carrier); });
}

void HostInfo::reset() {
    update([](HostValues& v) { v = HostValues{}; });
}

std::shared_ptr<const HostValues> hostValues() {
    Store& s = store();
    std::lock_guard lock(s.mutex);
    return s.current;
}

}  // namespace VeltoSDK
