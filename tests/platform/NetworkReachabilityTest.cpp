#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

std::shared_ptr<NetworkReachability> referenceFor(const char* address) {
    sockaddr_in record{};
    record.sin_family = AF_INET;
    inet_pton(AF_INET, address, &record.sin_addr);
    return linux_os::networkReachability().createWithAddress(record);
}

// 1 reachable, 0 not reachable, -1 the flags could not be read.
int reachable(NetworkReachability& reference) {
    std::uint32_t flags = 0;
    if (!reference.getFlags(flags)) return -1;
    return (flags & kReachabilityFlagReachable) ? 1 : 0;
}

std::optional<std::string> commandOutput(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return output;
}

// What iproute2 says: a default route whose link has a carrier, over IPv4 or IPv6.
bool ipSaysThereIsARouteOut(const std::string& family) {
    auto routes = commandOutput("ip " + family + " route show default");
    std::istringstream lines(routes.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        bool usable = line.rfind("default", 0) == 0 && line.find("linkdown") == line.npos &&
                      line.find(" dead") == line.npos;
        if (usable) return true;
    }
    return false;
}

TEST(NetworkReachabilityTest, MakesReferencesOnlyForIPv4) {
    EXPECT_NE(referenceFor("0.0.0.0"), nullptr);
    sockaddr_in other{};
    other.sin_family = AF_INET6;
    EXPECT_EQ(linux_os::networkReachability().createWithAddress(other), nullptr);
}

TEST(NetworkReachabilityTest, ZeroAddressAgreesWithTheRoutingTable) {
    if (!commandOutput("ip -4 route show")) GTEST_SKIP() << "iproute2 (ip) is not available";
    bool expected = ipSaysThereIsARouteOut("-4") || ipSaysThereIsARouteOut("-6");
    auto reference = referenceFor("0.0.0.0");
    EXPECT_EQ(reachable(*reference), expected ? 1 : 0);
    EXPECT_EQ(reachable(*reference), expected ? 1 : 0);
}

TEST(NetworkReachabilityTest, LoopbackAddressIsReachable) {
    EXPECT_EQ(reachable(*referenceFor("127.0.0.1")), 1);
}

// Runs `scenario` in a forked child inside a network namespace of its own, which starts with
// nothing but a loopback interface that is down. The scenario answers with an exit code.
constexpr int kSkip = 77;
void inFreshNetworkNamespace(int (*scenario)()) {
    // Made before the fork, so the child needs no allocation to reach the service.
    linux_os::networkReachability();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(kSkip);
        _exit(scenario());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kSkip) {
        GTEST_SKIP() << "cannot make a network namespace here (needs root or user namespaces)";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "first failed check in the namespace";
}

TEST(NetworkReachabilityTest, NamespaceWithOnlyLoopbackIsNotReachable) {
    inFreshNetworkNamespace([] {
        auto zero = referenceFor("0.0.0.0");
        if (reachable(*zero) != 0) return 1;
        if (reachable(*referenceFor("127.0.0.1")) != 0) return 2;  // loopback still down
        if (std::system("ip link set lo up >/dev/null 2>&1") != 0) return 0;
        if (reachable(*referenceFor("127.0.0.1")) != 1) return 3;  // the lookup sees this netns
        if (reachable(*zero) != 0) return 4;
        return 0;
    });
}

// Polls briefly: a peer's carrier reaches its partner asynchronously.
bool becomes(NetworkReachability& reference, int wanted) {
    for (int i = 0; i < 200; ++i) {
        if (reachable(reference) == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(NetworkReachabilityTest, FollowsTheRouteOutAsItsLinkComesAndGoes) {
    if (!commandOutput("ip -V")) GTEST_SKIP() << "iproute2 (ip) is not available";
    inFreshNetworkNamespace([] {
        auto run = [](const char* command) {
            return std::system((std::string(command) + " >/dev/null 2>&1").c_str()) == 0;
        };
        if (!run("ip link add v0 type veth peer name v1")) return kSkip;
        auto zero = referenceFor("0.0.0.0");
        if (!run("ip link set v0 up") || !run("ip addr add 10.9.9.1/24 dev v0") ||
            !run("ip route add default via 10.9.9.2 dev v0")) {
            return 10;
        }
        if (!becomes(*zero, 0)) return 11;  // default route, but its peer is down: no carrier
        if (!run("ip link set v1 up")) return 12;
        if (!becomes(*zero, 1)) return 13;
        if (!run("ip link set v0 down")) return 14;
        if (!becomes(*zero, 0)) return 15;  // the route went with the link
        return 0;
    });
}

}  // namespace
}  // namespace VeltoSDK::platform
