#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/NetworkReachability.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK::platform {
namespace {

std::shared_ptr<NetworkReachability> referenceFor(const char* address, int family = AF_INET) {
    sockaddr_in record{};
    record.sin_family = family;
    inet_pton(AF_INET, address, &record.sin_addr);
    return linuxPlatform().networkReachability->createWithAddress(record);
}

// Whether `reference` reads as `reachable` within two seconds: a peer's carrier reaches its
// partner asynchronously. Flags that cannot be read match neither.
bool becomes(NetworkReachability& reference, bool reachable) {
    for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        std::uint32_t flags = 0;
        if (reference.getFlags(flags) && bool(flags & kReachabilityFlagReachable) == reachable)
            return true;
    }
    return false;
}

TEST(NetworkReachabilityTest, ReferencesAreForIPv4AndLoopbackIsReachable) {
    EXPECT_EQ(referenceFor("0.0.0.0", AF_INET6), nullptr);
    EXPECT_TRUE(becomes(*referenceFor("127.0.0.1"), true));
}

// In a network namespace of its own the child starts with only a loopback interface, down.
// Each step runs its commands, then reads the zero address through one reference kept
// throughout, or loopback through a fresh one. The exit code names the first failed step.
int freshNamespaceScenario() {
    const struct {
        const char* commands;
        bool loopback, reachable, optional;  // optional: when its commands fail, the rest is
    } steps[] = {
        // skipped (no iproute2, veth or IPv6 here)
        {"true", false, false, false},
        {"true", true, false, false},  // loopback is down
        {"ip link set lo up", true, true, true},
        {"true", false, false, false},
        {"ip link add v0 type veth peer name v1", false, false, true},
        {"ip link set v0 up && ip addr add 10.9.9.1/24 dev v0 && "
         "ip route add default via 10.9.9.2 dev v0",
         false, false, false},  // a default route whose link has no carrier
        {"ip link set v1 up", false, true, false},
        {"ip link set v0 down", false, false, false},  // the route went with the link
        // An IPv6-only network: no IPv4 route out, an IPv6 default route on a live link.
        {"ip -4 addr flush dev v0 && ip link set v0 up", false, false, false},
        {"ip -6 addr add fd00::1/64 dev v0 nodad && ip -6 route add default via fd00::2 dev v0",
         false, true, true},
    };
    auto zero = referenceFor("0.0.0.0");
    for (int i = 0; i < static_cast<int>(std::size(steps)); ++i) {
        const auto& step = steps[i];
        if (std::system((std::string(step.commands) + " >/dev/null 2>&1").c_str()) != 0)
            return step.optional ? 0 : 100 + i;
        if (!becomes(step.loopback ? *referenceFor("127.0.0.1") : *zero, step.reachable))
            return 1 + i;
    }
    return 0;
}

TEST(NetworkReachabilityTest, FollowsTheNetworkNamespacesRoutesAndLinks) {
    constexpr int kSkip = 77;
    linuxPlatform();  // made before the fork: the child needs no allocation
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(unshare(CLONE_NEWNET) != 0 ? kSkip : freshNamespaceScenario());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kSkip)
        GTEST_SKIP() << "no network namespace here (needs privileges)";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1 + the failed step, or 100 + the step that could not run";
}

}  // namespace
}  // namespace VeltoSDK::platform
