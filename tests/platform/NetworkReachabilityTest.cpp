#include <sched.h>

#include "platform/NetworkReachability.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK::platform {
namespace {

using namespace testing;  // exitCode and the time literals

std::shared_ptr<NetworkReachability> referenceFor(const char* address) {
    sockaddr_in record{};
    record.sin_family = AF_INET;
    inet_pton(AF_INET, address, &record.sin_addr);
    return linuxPlatform().networkReachability->createWithAddress(record);
}

// Whether `reference` reads as `reachable` within two seconds: a peer's carrier reaches its
// partner asynchronously. Flags that cannot be read match neither.
bool becomes(NetworkReachability& reference, bool reachable) {
    for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(10ms)) {
        std::uint32_t flags = 0;
        if (reference.getFlags(flags) && bool(flags & kReachabilityFlagReachable) == reachable)
            return true;
    }
    return false;
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// In a network namespace of its own the child starts with only a loopback interface, down.
// The zero address is read through one reference kept throughout, loopback through fresh ones.
// The exit code names the first failed check; without iproute2, veth or IPv6 the rest is skipped.
int freshNamespaceScenario() {
    auto zero = referenceFor("0.0.0.0");
    auto loopback = [] { return referenceFor("127.0.0.1"); };
    if (!becomes(*zero, false) || !becomes(*loopback(), false)) return 1;
    if (!run("ip link set lo up")) return 0;
    if (!becomes(*loopback(), true) || !becomes(*zero, false)) return 2;
    if (!run("ip link add v0 type veth peer name v1")) return 0;
    // A default route whose link has no carrier, then has one, then is down with its route.
    if (!run("ip link set v0 up && ip addr add 10.9.9.1/24 dev v0 && "
             "ip route add default via 10.9.9.2 dev v0") ||
        !becomes(*zero, false))
        return 3;
    if (!run("ip link set v1 up") || !becomes(*zero, true)) return 4;
    if (!run("ip link set v0 down") || !becomes(*zero, false)) return 5;
    // An IPv6-only network: no IPv4 route out, an IPv6 default route on a live link.
    if (!run("ip -4 addr flush dev v0 && ip link set v0 up") || !becomes(*zero, false)) return 6;
    if (!run(
            "ip -6 addr add fd00::1/64 dev v0 nodad && ip -6 route add default via fd00::2 dev v0"))
        return 0;
    return becomes(*zero, true) ? 0 : 7;
}

TEST(NetworkReachabilityTest, FollowsTheNetworkNamespacesRoutesAndLinks) {
    constexpr int kSkip = 77;
    linuxPlatform();  // made before the fork: the child needs no allocation
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(unshare(CLONE_NEWNET) != 0 ? kSkip : freshNamespaceScenario());
    const int code = exitCode(child, 120s);
    if (code == kSkip) GTEST_SKIP() << "no network namespace here (needs privileges)";
    EXPECT_EQ(code, 0) << "the step that failed";
}

}  // namespace
}  // namespace VeltoSDK::platform
