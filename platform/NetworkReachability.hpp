#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>

namespace VeltoSDK::platform {

class SerialQueue;

// The reachable bit of the reachability flags.
constexpr std::uint32_t kReachabilityFlagReachable = 2;

// A reachability reference for one socket address.
class NetworkReachability {
public:
    using Callback = void (*)(NetworkReachability& target, std::uint32_t flags, void* info);

    virtual ~NetworkReachability() = default;
    // Fills `flags`; false when the flags cannot be read.
    virtual bool getFlags(std::uint32_t& flags) = 0;
    // Null callback or null queue detaches the reference from them.
    virtual bool setCallback(Callback callback, void* info) = 0;
    virtual bool setDispatchQueue(SerialQueue* queue) = 0;
};

class NetworkReachabilityService {
public:
    virtual ~NetworkReachabilityService() = default;
    // A new reference for `address`; null when the OS cannot make one.
    virtual std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr_in& address) = 0;
};

}  // namespace VeltoSDK::platform
