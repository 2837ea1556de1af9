#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Dispatch.hpp"

namespace VeltoSDK {

namespace platform {
class NetworkReachability;
class NotificationCenter;
}  // namespace platform

enum class ConnectionType { Unavailable = 0, Wifi = 1, Cellular = 2 };

// Raised inside Reachability only; its queries catch it. Of its kinds, Linux raises only
// UnableToGetInitialFlags; the others complete the monitor's interface.
class ReachabilityError : public std::exception {
public:
    enum class Kind {
        FailedToCreateWithAddress,
        FailedToCreateWithHostname,
        UnableToSetCallback,
        UnableToSetDispatchQueue,
        UnableToGetInitialFlags,
    };

    explicit ReachabilityError(Kind kind) : kind_(kind) {}
    ReachabilityError(Kind kind, const sockaddr_in& address) : kind_(kind), address_(address) {}
    ReachabilityError(Kind kind, std::string hostname)
        : kind_(kind), hostname_(std::move(hostname)) {}

    Kind kind() const { return kind_; }
    const std::optional<sockaddr_in>& address() const { return address_; }
    const std::string& hostname() const { return hostname_; }
    const char* what() const noexcept override;

private:
    Kind kind_;
    std::optional<sockaddr_in> address_;
    std::string hostname_;
};

// Tells whether the network can be reached. Reads the platform flags once, on the first
// query, and announces that change on the main queue. Always owned by a std::shared_ptr, so
// the announcement can hold it weakly.
class Reachability : public std::enable_shared_from_this<Reachability> {
public:
    using Callback = std::function<void(Reachability&)>;

    // Recorded only: on Linux the serial queue runs its tasks on the calling thread, so
    // neither the quality of service nor a target queue changes anything.
    enum class QualityOfService { Default, UserInteractive, UserInitiated, Utility, Background };

    // A monitor for 0.0.0.0; null when the platform gives no reference for it.
    static std::shared_ptr<Reachability> createForZeroAddress();
    // Null only when `reachabilityRef` is null.
    static std::shared_ptr<Reachability> create(
        std::shared_ptr<platform::NetworkReachability> reachabilityRef,
        QualityOfService queueQoS = QualityOfService::Default,
        std::shared_ptr<platform::SerialQueue> targetQueue = nullptr);

    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Must not be called on reachabilitySerialQueue() while no flags are stored.
    ConnectionType currentConnection();
    // Detaches the reference from any callback and dispatch queue.
    void stopNotifier();

    // The callbacks are read on the serial queue, so they are set there too. Do not call these
    // from a task running on that queue.
    void setWhenReachable(Callback callback);
    void setWhenUnreachable(Callback callback);

    // Settings a client of the monitor may read or change; nothing on Linux acts on them.
    bool reachableOnWWAN() const { return reachableOnWWAN_; }
    bool allowsCellularConnection() const { return allowsCellularConnection_.load(); }
    void setAllowsCellularConnection(bool allows) { allowsCellularConnection_.store(allows); }
    platform::NotificationCenter& notificationCenter() const { return *notificationCenter_.load(); }
    void setNotificationCenter(platform::NotificationCenter& center) {
        notificationCenter_.store(&center);
    }
    bool isRunningOnDevice() const { return isRunningOnDevice_.load(); }
    void setIsRunningOnDevice(bool onDevice) { isRunningOnDevice_.store(onDevice); }
    bool notifierRunning() const { return notifierRunning_.load(); }
    void setNotifierRunning(bool running) { notifierRunning_.store(running); }

    // The last flags read; none until a read succeeded.
    std::optional<std::uint32_t> flags() const;

    const std::shared_ptr<platform::NetworkReachability>& reachabilityRef() const {
        return reachabilityRef_;
    }
    platform::SerialQueue& reachabilitySerialQueue() { return reachabilitySerialQueue_; }
    QualityOfService queueQoS() const { return queueQoS_; }
    const std::shared_ptr<platform::SerialQueue>& targetQueue() const { return targetQueue_; }

private:
    Reachability(std::shared_ptr<platform::NetworkReachability> reachabilityRef,
                 QualityOfService queueQoS, std::shared_ptr<platform::SerialQueue> targetQueue);

    // Both run on the serial queue.
    void refreshFlags();
    void announceChange();

    // Set only on the serial queue.
    Callback whenReachable_;
    Callback whenUnreachable_;
    const bool reachableOnWWAN_ = true;
    std::atomic<bool> allowsCellularConnection_{true};
    // The announcement reads it on the main queue thread.
    std::atomic<platform::NotificationCenter*> notificationCenter_;
    std::atomic<bool> isRunningOnDevice_{false};
    std::atomic<bool> notifierRunning_{false};
    const std::shared_ptr<platform::NetworkReachability> reachabilityRef_;
    platform::SerialQueue reachabilitySerialQueue_;
    const QualityOfService queueQoS_;
    const std::shared_ptr<platform::SerialQueue> targetQueue_;
    // Written on the serial queue, read on any querying thread; kNoFlags while absent.
    static constexpr std::uint64_t kNoFlags = std::uint64_t{1} << 32;
    std::atomic<std::uint64_t> flags_{kNoFlags};
};

// The name of the notification posted when a monitor's flags change.
const std::string& reachabilityChangedNotification();

}  // namespace VeltoSDK
