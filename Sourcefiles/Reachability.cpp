#include "Sourcefiles/Reachability.hpp"

#include "platform/NetworkReachability.hpp"
#include "platform/NotificationCenter.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {

// The monitor drops its errors, so none is ever shown; the kind says what went wrong.
const char* ReachabilityError::what() const noexcept { return "reachability error"; }

const std::string& reachabilityChangedNotification() {
    // Never destroyed: the main queue may post while the process exits.
    static const std::string* name = new std::string("reachabilityChanged");
    return *name;
}

std::shared_ptr<Reachability> Reachability::createForZeroAddress() {
    sockaddr_in zeroAddress{};
    zeroAddress.sin_family = AF_INET;
    std::shared_ptr<platform::NetworkReachability> ref =
        platform::current().networkReachability->createWithAddress(zeroAddress);
    if (!ref) return nullptr;
    return create(std::move(ref));
}

std::shared_ptr<Reachability> Reachability::create(
    std::shared_ptr<platform::NetworkReachability> reachabilityRef, QualityOfService queueQoS,
    std::shared_ptr<platform::SerialQueue> targetQueue) {
    if (!reachabilityRef) return nullptr;
    // Not make_shared: a pending announcement keeps the control block alive, and it should
    // not keep the monitor's memory with it.
    return std::shared_ptr<Reachability>(
        new Reachability(std::move(reachabilityRef), queueQoS, std::move(targetQueue)));
}

Reachability::Reachability(std::shared_ptr<platform::NetworkReachability> reachabilityRef,
                           QualityOfService queueQoS,
                           std::shared_ptr<platform::SerialQueue> targetQueue)
    : notificationCenter_(&platform::NotificationCenter::defaultCenter()),
      reachabilityRef_(std::move(reachabilityRef)),
      reachabilitySerialQueue_("com.velto.reach"),
      queueQoS_(queueQoS),
      targetQueue_(std::move(targetQueue)) {}

Reachability::~Reachability() { stopNotifier(); }

std::optional<std::uint32_t> Reachability::flags() const {
    std::uint64_t stored = flags_.load(std::memory_order_acquire);
    if (stored == kNoFlags) return std::nullopt;
    return static_cast<std::uint32_t>(stored);
}

ConnectionType Reachability::currentConnection() {
    if (!flags()) {
        reachabilitySerialQueue_.sync([this] {
            // Another thread may have read them while this one waited for the queue.
            if (flags()) return;
            try {
                refreshFlags();
            } catch (const ReachabilityError&) {
                // The flags stay absent; the next query reads again.
            }
        });
    }
    std::optional<std::uint32_t> current = flags();
    if (current && (*current & platform::kReachabilityFlagReachable) != 0) {
        return ConnectionType::Wifi;
    }
    return ConnectionType::Unavailable;
}

void Reachability::refreshFlags() {
    std::uint32_t newFlags = 0;
    if (!reachabilityRef_->getFlags(newFlags)) {
        stopNotifier();
        throw ReachabilityError(ReachabilityError::Kind::UnableToGetInitialFlags);
    }
    std::optional<std::uint32_t> oldFlags = flags();
    // Stored before the announcement, whose own query must find them.
    flags_.store(newFlags, std::memory_order_release);
    if (!oldFlags || *oldFlags != newFlags) announceChange();
}

void Reachability::announceChange() {
    Callback chosen =
        currentConnection() != ConnectionType::Unavailable ? whenReachable_ : whenUnreachable_;
    platform::current().mainQueue->async(
        [monitor = weak_from_this(), callback = std::move(chosen)] {
            std::shared_ptr<Reachability> self = monitor.lock();
            if (!self) return;
            if (callback) callback(*self);
            self->notificationCenter().post(reachabilityChangedNotification(), self.get());
        });
}

void Reachability::stopNotifier() {
    reachabilityRef_->setCallback(nullptr, nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
    notifierRunning_.store(false);
}

void Reachability::setWhenReachable(Callback callback) {
    reachabilitySerialQueue_.sync([&] { whenReachable_ = std::move(callback); });
}

void Reachability::setWhenUnreachable(Callback callback) {
    reachabilitySerialQueue_.sync([&] { whenUnreachable_ = std::move(callback); });
}

}  // namespace VeltoSDK
