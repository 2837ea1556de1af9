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
    std::vector<std::string> targets;
    testing::LocalServer proxy;
    proxy.routes().set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response&) {
            std::lock_guard lock(mutex);
            targets.push_back(request.target);
            return httplib::Server::HandlerResponse::Handled;  // an empty 200
        });
    proxy.start();
    ::setenv("http_proxy", proxy.url("").c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");

    Velto::shared().setBaseURL("http://collect.velto.invalid/velto/mob?");
    Velto::initialize("px-proxy");
    ASSERT_TRUE(Velto::fireEvent(Event::LEAD));
    ASSERT_TRUE(Velto::flush(10));
    std::lock_guard lock(mutex);
    EXPECT_EQ(targets, std::vector<std::string>{
                           "http://collect.velto.invalid/velto/mob?e=Lead&pi=px-proxy"});
    EXPECT_TRUE(output.lines().back().ends_with("-> Data Posted Successfully"));
}

}  // namespace
}  // namespace VeltoSDK
