#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "TestServers.hpp"
#include "platform/Services.hpp"

extern char** environ;

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

struct Outcome {
    bool finished = false;  // within the time allowed
    int status = 0;         // as from waitpid
};

Outcome waitBounded(pid_t pid, std::chrono::milliseconds allowed) {
    auto deadline = std::chrono::steady_clock::now() + allowed;
    Outcome outcome;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &outcome.status, WNOHANG) == pid) {
            outcome.finished = true;
            return outcome;
        }
        std::this_thread::sleep_for(5ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &outcome.status, 0);
    return outcome;
}

// Runs the fire helper with `arguments` and the extra environment entries.
Outcome runHelper(std::vector<std::string> arguments, std::vector<std::string> environment = {}) {
    arguments.insert(arguments.begin(), VELTOSDK_FIRE_HELPER);
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (char** e = environ; *e; ++e) {
        // The test decides which certificates the helper trusts.
        std::string_view entry = *e;
        if (entry.starts_with("CURL_CA_BUNDLE=") || entry.starts_with("SSL_CERT_FILE="))
            continue;
        environment.emplace_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return {};
    return waitBounded(pid, 10s);
}

bool exitedWith(const Outcome& outcome, int code) {
    return outcome.finished && WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == code;
}

TEST(ProcessTest, TheCABundleVariableTrustsALocalCertificate) {
    const TestCertificate& certificate = testCertificate();
    LocalServer secure(certificate.certFile, certificate.keyFile);
    secure.routes().Post("/e", [](const auto&, auto& res) { res.set_content("ok", "text/plain"); });
    secure.start();

    EXPECT_TRUE(exitedWith(
        runHelper({"wait", "2", "0", secure.url("/e")}, {"CURL_CA_BUNDLE=" + certificate.certFile}),
        0));
    EXPECT_TRUE(exitedWith(
        runHelper({"wait", "1", "0", secure.url("/e")}, {"SSL_CERT_FILE=" + certificate.certFile}),
        0));
    EXPECT_TRUE(exitedWith(runHelper({"wait", "1", "0", secure.url("/e")}), 1))
        << "the system's certificates do not include the test's";
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
        bool answered = platform::httpClient().flush(5) && lastStatus == 200;
        ::_exit(answered ? 0 : 1);
    }
    fire(server.url("/fork/parent-after"));
    EXPECT_TRUE(platform::httpClient().flush(10));
    EXPECT_EQ(lastStatus, 200);
    EXPECT_TRUE(exitedWith(waitBounded(child, 10s), 0));

    std::lock_guard lock(mutex);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/fork/child", "/fork/parent-after",
                                               "/fork/parent-before"}));
}

}  // namespace
}  // namespace VeltoSDK::testing
