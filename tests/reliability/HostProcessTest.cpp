// Whole host processes: velto-fire, the command-line host, as a user runs it, and children
// forked from this one.
#include <VeltoSDK/VeltoSDK.hpp>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

// Runs velto-fire with `args` and standard output on `out`; how it ended.
int fire(std::vector<std::string> args, int out = -1) {
    args.insert(args.begin(), {VELTO_FIRE_PATH, "--pixel-id", "px-host"});
    return exitCode(spawn(args, out), 60s);
}

// A collector over TLS, its certificate trusted by the hosts through SSL_CERT_FILE.
struct HostProcess : ::testing::Test {
    const TemporaryDirectory dir;
    const std::string cert = writeCertificate(dir.path, "cert", "IP:127.0.0.1");
    ChildProcess collector{{VELTO_COLLECTOR_PATH, "--tls-cert", cert + ".crt", "--tls-key",
                            cert + ".key", "--no-ui", "--out", "/dev/null"}};
    const std::string url = collector.start();
    const bool trusted = ::unsetenv("CURL_CA_BUNDLE") == 0 &&  // it would win
                         ::setenv("SSL_CERT_FILE", (cert + ".crt").c_str(), 1) == 0;
};

// Logging into a closed, full or unread standard output (SIGPIPE at its default, as in most
// hosts) neither kills the host nor holds up its events: all are accepted. (That lines are
// dropped whole is in the platform suite.)
TEST_F(HostProcess, ClosedFullOrUnreadStandardOutputIsHarmless) {
    for (const std::string kind :
         {"closed pipe", "full pipe", "full device", "closed", "unread pipe"}) {
        int fds[2] = {-1, -1};
        if (kind == "full device") fds[1] = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        const int flags = O_CLOEXEC | (kind == "unread pipe" ? 0 : O_NONBLOCK);
        ASSERT_TRUE(!kind.ends_with("pipe") || ::pipe2(fds, flags) == 0);
        const std::string block(4096, 'x');
        while (kind == "full pipe" && ::write(fds[1], block.data(), block.size()) > 0) continue;
        if (kind == "closed pipe") ::close(std::exchange(fds[0], -1));
        const int out = kind == "closed" ? kClosedOutput : fds[1];
        const std::string events = kind == "unread pipe" ? "2000" : "5";
        EXPECT_EQ(fire({"--base-url", url, "--count", events, "--timeout", "50", "Lead"}, out), 0)
            << kind;
        for (int fd : fds) ::close(fd);
    }
}

// Returning from main while transfers are in flight (to a stalled server, over HTTP or over
// TLS) neither crashes nor hangs the process.
TEST_F(HostProcess, ReturningFromMainMidTransferExitsCleanly) {
    LoopbackServer plain(answer200), stalled;
    const std::string urls[] = {stalled.url(), plain.url(), url};
    const char* scale = std::getenv("VELTOSDK_TEST_SCALE");  // fewer runs under the sanitizers
    for (int run = 0; run < 200 * (scale ? std::atof(scale) : 1); ++run) {
        const int code = fire({"--base-url", urls[run % 3], "--count", std::to_string(1 + run % 5),
                               "--timeout", "0", "Lead"});
        ASSERT_TRUE(code == 0 || code == 1) << "run " << run << " ended with " << code;
    }
}

// A child forked at any moment, while another thread fires, logs and completes transfers, and
// fires and flushes its own event; the parent's client still sends afterwards.
class Forks : public LoopbackTest {};

TEST_F(Forks, ChildrenForkedWhileAThreadFiresSendTheirOwnEvents) {
    // The thread sanitizer cannot start threads after a multi-threaded fork. The address
    // sanitizer's allocator takes no lock around fork, so a child forked while another thread
    // allocates can hang inside malloc before any of our code runs (about 1 in 12 runs).
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "this sanitizer's runtime is not fork-safe";
#endif
    LoopbackServer server(answer200), children(answer200);
    Velto::initialize("px-forks");
    Velto::shared().setBaseURL(server.url());
    std::atomic<bool> stop{false};
    std::thread firing([&] {
        for (int i = 1; !stop && i < 10'000'000; ++i) {
            Velto::fireEvent(Event::PURCHASE);
            if (i % 100 == 0) Velto::flush(10);
        }
    });
    std::this_thread::sleep_for(50ms);
    for (int n = 0; n < 150 && !HasFailure(); ++n) {
        std::this_thread::sleep_for(std::chrono::microseconds(n % 7 * 300));
        const pid_t child = ::fork();
        if (child == 0) {
            Velto::shared().setBaseURL(children.url());
            ::_exit(Velto::fireEvent(Event::LEAD) && Velto::flush(10) ? 0 : 1);
        }
        EXPECT_EQ(exitCode(child), 0) << "child " << n;
    }
    stop = true;
    firing.join();
    Velto::shared().setBaseURL(children.url());
    EXPECT_TRUE(Velto::flush(60) && Velto::fireEvent(Event::LEAD) && Velto::flush(20));
    EXPECT_EQ(children.requests, 151) << "150 children and the parent after them";
}

}  // namespace
}  // namespace VeltoSDK::testing
