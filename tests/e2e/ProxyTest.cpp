#include <VeltoSDK/VeltoSDK.hpp>

#include "tests/support/Fakes.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK {
namespace {

// libcurl takes its proxy from the environment, as the README promises: the request goes to
// the proxy with the whole URL as its target, and the collection host is never resolved here.
// Runs in a process of its own (ctest), so the variable is set before any transfer starts.
TEST(Proxy, EventsGoThroughTheProxyNamedInTheEnvironment) {
    testing::CapturingOutput output;
    platform::ScopedPlatform services([&](platform::Platform& p) { p.standardOutput = &output; });
    std::mutex mutex;
    std::string requestLine;
    testing::LoopbackServer proxy([&](const std::string& request) {
        std::lock_guard lock(mutex);
        requestLine = request.substr(0, request.find('\r'));
        return testing::httpAnswer("200 OK");
    });
    ::setenv("http_proxy", proxy.url("").c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");

    Velto::shared().setBaseURL("http://collect.velto.invalid/velto/mob?");
    Velto::initialize("px-proxy");
    ASSERT_TRUE(Velto::fireEvent(Event::LEAD));
    ASSERT_TRUE(Velto::flush(10));
    std::lock_guard lock(mutex);
    EXPECT_EQ(requestLine,
              "POST http://collect.velto.invalid/velto/mob?e=Lead&pi=px-proxy HTTP/1.1");
    EXPECT_TRUE(output.lines().back().ends_with("-> Data Posted Successfully"));
}

}  // namespace
}  // namespace VeltoSDK
