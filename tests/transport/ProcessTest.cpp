#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "TestServers.hpp"
#include "platform/Services.hpp"
#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::testing {
namespace {

// velto-fire returns from main once its flush timeout is over, transfers still in flight.
TEST(ProcessTest, ReturningFromMainWithTransfersInFlightNeitherCrashesNorHangs) {
#ifndef VELTO_FIRE_PATH
    GTEST_SKIP() << "built without the tools";
#else
    LocalServer plain, secure(testCertificate());
    for (LocalServer* server : {&plain, &secure})
        server->routes().Post("/e",
                              [](const auto&, auto& res) { res.set_content("ok", "text/plain"); });
    plain.start();
    secure.start();
    SilentServer silent;
    const std::string urls[] = {plain.url("/e?"), secure.url("/e?"), silent.url("/e?")};
    for (int run = 0; run < 45; ++run) {
        pid_t pid =
            spawn({VELTO_FIRE_PATH, "--base-url", urls[run % 3], "--pixel-id", "p", "--count", "4",
                   "--timeout", std::to_string((run % 10) / 1000.0), "Lead"},
                  {"CURL_CA_BUNDLE=" + testCertificate().certFile});
        auto status = waitBounded(pid);
        ASSERT_TRUE(status) << "run " << run << " hung";
        ASSERT_TRUE(exitedWith(status, 0) || exitedWith(status, 1))
            << "run " << run << ": " << *status;
    }
#endif
}

TEST(ProcessTest, CertificatesToTrustComeFromTheEnvironment) {
    using platform::linux_os::CurlClientOptions;
    unsetenv("CURL_CA_BUNDLE");
    setenv("SSL_CERT_FILE", "/tmp/b.pem", 1);
    EXPECT_EQ(CurlClientOptions::fromEnvironment().caBundle, "/tmp/b.pem");
    setenv("CURL_CA_BUNDLE", "/tmp/a.pem", 1);
    EXPECT_EQ(CurlClientOptions::fromEnvironment().caBundle, "/tmp/a.pem");
    unsetenv("CURL_CA_BUNDLE");
    unsetenv("SSL_CERT_FILE");
}

std::atomic<int> lastStatus{0};
void rememberStatus(const std::optional<std::string>&, const platform::URLResponse* response,
                    const platform::TransportError*) {
    lastStatus = response && response->statusCode ? *response->statusCode : -1;
}

void fire(const std::string& url) {
    platform::httpClient().dataTask(makeRequest(url, "POST"), &rememberStatus)->resume();
}

TEST(ProcessTest, AForkedChildSendsWithAClientOfItsOwn) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the thread sanitizer cannot start threads after a multi-threaded fork";
#endif
    LocalServer server;
    std::mutex mutex;
    std::vector<std::string> paths;
    server.routes().Post(R"(/fork/.*)", [&](const httplib::Request& req, auto& res) {
        std::lock_guard lock(mutex);
        paths.push_back(req.path);
        res.set_content("ok", "text/plain");
    });
    server.start();

    // The parent's worker exists and holds a connection before the fork.
    fire(server.url("/fork/parent-before"));
    ASSERT_TRUE(platform::httpClient().flush(10));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        fire(server.url("/fork/child"));
        ::_exit(platform::httpClient().flush(5) && lastStatus == 200 ? 0 : 1);
    }
    fire(server.url("/fork/parent-after"));
    EXPECT_TRUE(platform::httpClient().flush(10));
    EXPECT_EQ(lastStatus, 200);
    EXPECT_TRUE(exitedWith(waitBounded(child), 0));
    std::lock_guard lock(mutex);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/fork/child", "/fork/parent-after",
                                               "/fork/parent-before"}));
}

}  // namespace
}  // namespace VeltoSDK::testing
