#include <VeltoSDK/HostInfo.hpp>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "Sourcefiles/HostValues.hpp"
#include "platform/ForkSafety.hpp"

namespace VeltoSDK {
namespace {

struct Store {
    platform::ForkSafeMutex mutex;
    std::shared_ptr<const HostValues> current = std::make_shared<const HostValues>();
    std::atomic<std::uint64_t> version{0};  // changed with `current`, under the lock
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
    s.version.fetch_add(1, std::memory_order_release);
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

const HostValues& currentHostValues() {
    struct Reading {  // left empty when destroyed, as PublishedText::Reading
        std::uint64_t version = 0;
        std::shared_ptr<const HostValues> values;
        ~Reading() { values.reset(); }
    };
    thread_local Reading seen;
    Store& s = store();
    if (!seen.values || seen.version != s.version.load(std::memory_order_acquire)) {
        std::lock_guard lock(s.mutex);
        seen.values = s.current;
        seen.version = s.version.load(std::memory_order_relaxed);
    }
    return *seen.values;
}

}  // namespace VeltoSDK
