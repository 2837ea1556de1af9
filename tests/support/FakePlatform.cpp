#include "FakePlatform.hpp"

#include <cstdio>
#include <tuple>

namespace VeltoSDK::testing {

std::optional<std::string> CarrierProperty::next() {
    ++reads;
    if (readings.empty()) return std::nullopt;
    size_t index = std::min(static_cast<size_t>(reads - 1), readings.size() - 1);
    return readings[index];
}

std::string unameField(std::string_view name) {
    std::string field(name);
    field.resize(256, '\0');
    return field;
}

bool FakeDeviceInfo::isOperatingSystemAtLeast(int major, int minor, int patch) {
    int parts[3] = {0, 0, 0};
    std::sscanf(version.c_str(), "%d.%d.%d", &parts[0], &parts[1], &parts[2]);
    return std::tie(parts[0], parts[1], parts[2]) >= std::tie(major, minor, patch);
}

std::optional<std::string> FakeDeviceInfo::environmentValue(std::string_view name) {
    ++environmentReads;
    auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
}

std::string FakeDeviceInfo::unameMachine() {
    ++unameCalls;
    return machine;
}

namespace {
// What subscriberCellularProvider returns: the test keeps the FakeCarrier it reads from.
class ForwardingCarrier final : public platform::Carrier {
public:
    explicit ForwardingCarrier(std::shared_ptr<FakeCarrier> target) : target_(std::move(target)) {}
    std::optional<std::string> carrierName() override { return target_->carrierName(); }
    std::optional<std::string> mobileCountryCode() override { return target_->mobileCountryCode(); }
    std::optional<std::string> mobileNetworkCode() override { return target_->mobileNetworkCode(); }

private:
    std::shared_ptr<FakeCarrier> target_;
};
}  // namespace

std::unique_ptr<platform::Carrier> FakeDeviceInfo::subscriberCellularProvider() {
    ++carrierLookups;
    if (!carrier) return nullptr;
    return std::make_unique<ForwardingCarrier>(carrier);
}

bool FakeNetworkReachability::getFlags(std::uint32_t& out) {
    ++getFlagsCalls;
    if (failingReads > 0) {
        --failingReads;
        return false;
    }
    out = flags;
    return true;
}

bool FakeNetworkReachability::setCallback(Callback callback, void*) {
    ++setCallbackCalls;
    callbackAttached = callback != nullptr;
    return true;
}

bool FakeNetworkReachability::setDispatchQueue(platform::SerialQueue* queue) {
    ++setDispatchQueueCalls;
    queueAttached = queue != nullptr;
    return true;
}

std::shared_ptr<platform::NetworkReachability> FakeNetworkReachabilityService::createWithAddress(
    const sockaddr_in& address) {
    addresses.push_back(address);
    if (failCreation) return nullptr;
    auto ref = std::make_shared<FakeNetworkReachability>();
    ref->flags = flags;
    ref->failingReads = failingReads;
    created.push_back(ref);
    return ref;
}

void ManualMainQueue::async(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

size_t ManualMainQueue::pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

size_t ManualMainQueue::runAll() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
    return tasks.size();
}

}  // namespace VeltoSDK::testing
