#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include <set>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

using HostProcess = LoopbackTest;

// Starts `server` counting the events it is sent in `arrived`.
void countInto(LocalServer& server, std::atomic<int>& arrived) {
    server.routes().Post("/velto/mob", [&arrived](const auto&, auto& res) {
        ++arrived;
        res.set_content("ok", "text/plain");
    });
    server.start();
}

// Logging into a closed or full standard output (SIGPIPE at its default, as in most hosts)
// neither kills the host nor stops its events.
TEST_F(HostProcess, ClosedOrFullStandardOutputIsHarmless) {
    std::atomic<int> arrived{0};
    LocalServer server;
    countInto(server, arrived);
    for (const std::string kind : {"closed pipe", "full pipe", "full device", "closed"}) {
        int fds[2] = {-1, -1};
        if (kind == "full device") fds[1] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_TRUE(!kind.ends_with("pipe") || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0);
        const std::string block(4096, 'x');
        while (kind == "full pipe" && ::write(fds[1], block.data(), block.size()) > 0) continue;
        if (kind == "closed pipe") ::close(std::exchange(fds[0], -1));
        const int before = arrived;
        const pid_t host = spawn({VELTOSDK_RELIABILITY_HOST, "fire", "5", server.url()}, {},
                                 kind == "closed" ? kClosedOutput : fds[1]);
        EXPECT_EQ(exitCode(host, 30s), 0) << kind;
        EXPECT_EQ(arrived - before, 5) << kind;
        for (int fd : fds) ::close(fd);
    }
}

// Returning from main while transfers are in flight (to a stalled server, over HTTP and over
// TLS) neither crashes nor hangs the process.
TEST_F(HostProcess, ReturningFromMainMidTransferExitsCleanly) {
    std::atomic<int> arrived{0};
    LocalServer plain, secure(testCertificate());
    countInto(plain, arrived);
    countInto(secure, arrived);
    SilentServer stalled;
    for (int run = 0; run < scaled(200, 20); ++run) {
        const pid_t host = spawn({VELTOSDK_RELIABILITY_HOST, "exit", std::to_string(run % 5),
                                  stalled.url(), plain.url(), secure.url()},
                                 {"CURL_CA_BUNDLE=" + testCertificate().certFile});
        ASSERT_EQ(exitCode(host), 0) << "run " << run;
    }
}

// A child forked after events were fired sends its own with a client of its own.
TEST_F(HostProcess, AForkedChildFiresItsOwnEvents) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the thread sanitizer cannot start threads after a multi-threaded fork";
#endif
    Collector collector({VELTO_COLLECTOR_PATH, "--port", "0", "--pixel", "px-fork"});
    const std::string baseURL = collector.start();
    ASSERT_FALSE(baseURL.empty());
    Velto::shared().setBaseURL(baseURL);
    Velto::initialize("px-fork");
    auto fireFrom = [](const char* who) {
        VeltoParams params;
        params.put("from", who);
        return Velto::fireEvent(Event::LEAD, &params);
    };
    ASSERT_TRUE(fireFrom("parent-before"));
    ASSERT_TRUE(Velto::flush(10));

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool sent = fireFrom("child") && Velto::flush(10) && lines.successes == 2;
        ::_exit(sent ? 0 : 1);
    }
    EXPECT_TRUE(fireFrom("parent-after"));
    EXPECT_TRUE(Velto::flush(10));
    EXPECT_EQ(exitCode(child), 0) << "the child's exit code";
    EXPECT_EQ(lines.successes, 2) << "the parent's own lines";

    std::multiset<std::string> senders;
    for (int n = 0; n < 3; ++n) {
        auto line = collector.readLine();
        ASSERT_TRUE(line) << "only " << n << " arrived";
        nlohmann::json record = nlohmann::json::parse(*line);
        EXPECT_EQ(record["verdict"], "ACCEPTED");
        senders.insert(record["body"]["custom"][0]["v"][0].get<std::string>());
    }
    EXPECT_EQ(senders, (std::multiset<std::string>{"child", "parent-after", "parent-before"}));
}

}  // namespace
}  // namespace VeltoSDK::testing
