#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

enum class Route { usable, none, unreadable };

// Asks the kernel which routing-table entry a packet to a destination would use. This is a
// table lookup over a netlink socket: nothing is sent anywhere. A route whose link is down
// (no carrier) or dead does not count.
//
// Creating a socket costs more than the lookup itself, so one socket serves the process, one
// lookup at a time. It belongs to the network namespace the process was in at its first
// lookup; a forked child opens its own, in the namespace it is in by then.
//
// An answer is kept until the kernel announces a change to links, addresses, routes or rules:
// a second socket listens for those announcements, and every call first empties it. While
// nothing changes that is one receive that finds nothing, instead of a lookup per call.
class RouteLookup {
public:
    static RouteLookup& shared() {
        static RouteLookup* instance = create();
        return *instance;
    }

    Route lookUp(unsigned char family, const void* destination, size_t length, bool localCounts) {
        std::lock_guard lock(mutex_);
        Question question{family, static_cast<unsigned char>(length), localCounts, {}};
        std::memcpy(question.destination, destination, length);
        bool watching = forgetAnswersIfChanged();
        for (const Answer& answer : answers_) {
            if (answer.question == question) return answer.route;
        }
        Route route = ask(family, destination, length, localCounts);
        if (route == Route::unreadable) {
            closeSocket();  // start afresh next time
        } else if (watching) {
            if (answers_.size() == kMaxAnswers) answers_.clear();
            answers_.push_back({question, route});
        }
        return route;
    }

private:
    struct Question {
        unsigned char family;
        unsigned char length;
        bool localCounts;
        unsigned char destination[16];
        bool operator==(const Question&) const = default;
    };
    struct Answer {
        Question question;
        Route route;
    };
    static constexpr size_t kMaxAnswers = 8;

    // Never destroyed: lookups may still run while the process exits.
    static inline RouteLookup* created_ = nullptr;

    static RouteLookup* create() {
        created_ = new RouteLookup;
        // Around a fork no lookup is half done; the child drops the parent's socket.
        pthread_atfork([] { created_->mutex_.lock(); }, [] { created_->mutex_.unlock(); },
                       [] {
                           created_->closeSocket();
                           created_->stopWatching();
                           created_->mutex_.unlock();
                       });
        return created_;
    }

    void closeSocket() {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }

    void stopWatching() {
        if (watch_ >= 0) ::close(watch_);
        watch_ = -1;
        answers_.clear();
    }

    bool startWatching() {
        watch_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        if (watch_ < 0) return false;
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        bool joined = ::bind(watch_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        for (int group :
             {RTNLGRP_LINK, RTNLGRP_IPV4_IFADDR, RTNLGRP_IPV4_ROUTE, RTNLGRP_IPV4_RULE,
              RTNLGRP_IPV6_IFADDR, RTNLGRP_IPV6_ROUTE, RTNLGRP_IPV6_RULE, RTNLGRP_NEXTHOP}) {
            // Kernels without next-hop objects have no such group, and nothing to announce.
            if (::setsockopt(watch_, SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &group, sizeof group) !=
                    0 &&
                group != RTNLGRP_NEXTHOP) {
                joined = false;
            }
        }
        if (!joined) stopWatching();
        return joined;
    }

    // Drops the kept answers when the kernel announced anything since the last call, or lost
    // announcements for want of room. False when no announcements can be had: nothing is kept.
    bool forgetAnswersIfChanged() {
        if (watch_ < 0) {
            answers_.clear();
            return startWatching();
        }
        char announcement[64];  // only its arrival matters; the rest is discarded
        for (int drained = 0; drained < 64; ++drained) {
            if (::recv(watch_, announcement, sizeof announcement, MSG_DONTWAIT) >= 0 ||
                errno == ENOBUFS || errno == EINTR) {
                answers_.clear();
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            stopWatching();
            return false;
        }
        return true;  // more to drain next time, and nothing kept meanwhile
    }

    Route ask(unsigned char family, const void* destination, size_t length, bool localCounts) {
        if (socket_ < 0) socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (socket_ < 0) return Route::unreadable;

        struct {
            nlmsghdr header;
            rtmsg route;
            char attributes[RTA_SPACE(16)];
        } request{};
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg)) + RTA_SPACE(length);
        request.header.nlmsg_type = RTM_GETROUTE;
        request.header.nlmsg_flags = NLM_F_REQUEST;
        request.header.nlmsg_seq = ++sequence_;
        request.route.rtm_family = family;
        request.route.rtm_dst_len = static_cast<unsigned char>(length * 8);
        // The table entry itself rather than a cached route, so that its link state comes too.
        request.route.rtm_flags = RTM_F_FIB_MATCH;
        auto* attribute = reinterpret_cast<rtattr*>(request.attributes);
        attribute->rta_type = RTA_DST;
        attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        std::memcpy(RTA_DATA(attribute), destination, length);

        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        auto sent = ::sendto(socket_, &request, request.header.nlmsg_len, 0,
                             reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
        if (sent != static_cast<ssize_t>(request.header.nlmsg_len)) return Route::unreadable;

        // The kernel answers a route request within sendto, so the answer is already queued
        // and no receive waits. Anything older than this request is skipped.
        for (int attempt = 0; attempt < 4; ++attempt) {
            alignas(nlmsghdr) char answer[4096];
            ssize_t received = ::recv(socket_, answer, sizeof answer, MSG_DONTWAIT);
            if (received < 0) return Route::unreadable;
            auto* header = reinterpret_cast<nlmsghdr*>(answer);
            if (!NLMSG_OK(header, static_cast<unsigned>(received))) return Route::unreadable;
            if (header->nlmsg_seq != sequence_) continue;

            // An error answer (unreachable, prohibited, blackhole, ...) means no route.
            if (header->nlmsg_type != RTM_NEWROUTE) return Route::none;
            const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
            if (route->rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) return Route::none;
            if (route->rtm_type == RTN_UNICAST) return Route::usable;
            if (route->rtm_type == RTN_LOCAL && localCounts) return Route::usable;
            return Route::none;
        }
        return Route::unreadable;
    }

    std::mutex mutex_;
    int socket_ = -1;
    int watch_ = -1;
    std::vector<Answer> answers_;
    std::uint32_t sequence_ = 0;
};

Route lookUpRoute(unsigned char family, const void* destination, size_t length, bool localCounts) {
    return RouteLookup::shared().lookUp(family, destination, length, localCounts);
}

// The zero address stands for "any network at all": reachable when a packet to the wider
// internet has a route out, over IPv4 or, on an IPv6-only network, over IPv6. The probe
// destinations are well-known public addresses; they are looked up, never contacted.
Route routeOut() {
    const unsigned char ipv4[4] = {8, 8, 8, 8};
    Route v4 = lookUpRoute(AF_INET, ipv4, sizeof ipv4, false);
    if (v4 == Route::usable) return v4;
    const unsigned char ipv6[16] = {0x20, 0x01, 0x48, 0x60, 0x48, 0x60, 0,    0,
                                    0,    0,    0,    0,    0,    0,    0x88, 0x88};
    Route v6 = lookUpRoute(AF_INET6, ipv6, sizeof ipv6, false);
    return v6 == Route::unreadable ? v4 : v6;
}

class LinuxNetworkReachability final : public NetworkReachability {
public:
    explicit LinuxNetworkReachability(in_addr address) : address_(address) {}

    // Read from the routing state at every call, so a change of network shows at once.
    bool getFlags(std::uint32_t& flags) override {
        Route route = address_.s_addr == INADDR_ANY
                          ? routeOut()
                          : lookUpRoute(AF_INET, &address_, sizeof address_, true);
        if (route == Route::unreadable) return false;
        flags = route == Route::usable ? kReachabilityFlagReachable : 0;
        return true;
    }

    // Change notification is never started, so there is nothing to attach or detach.
    bool setCallback(Callback, void*) override { return true; }
    bool setDispatchQueue(SerialQueue*) override { return true; }

private:
    in_addr address_;
};

class LinuxNetworkReachabilityService final : public NetworkReachabilityService {
public:
    std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr_in& address) override {
        if (address.sin_family != AF_INET) return nullptr;
        return std::make_shared<LinuxNetworkReachability>(address.sin_addr);
    }
};

}  // namespace

NetworkReachabilityService& networkReachability() {
    static LinuxNetworkReachabilityService* instance = new LinuxNetworkReachabilityService;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
