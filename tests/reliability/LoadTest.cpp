#include <gtest/gtest.h>
#include <sys/resource.h>
#include <time.h>

#include <VeltoSDK/VeltoSDK.hpp>

#include <algorithm>
#include <fstream>
#include <optional>
#include <thread>

#include "FaultServer.hpp"
#include "Harness.hpp"
#include "platform/Services.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "transport/TestServers.hpp"

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The most memory this process has held at once, in bytes.
long peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6)) * 1024;
    return 0;
}

long voluntarySwitches() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

std::chrono::nanoseconds threadTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class Load : public ::testing::Test {
protected:
    CompletionCounter lines;
    platform::ScopedServices services{{.standardOutput = &lines}};
};

// A burst at a server that never answers: the host's thread is never held up, transfers beyond
// the client's bound fail at once, memory stays bounded, and every event still ends in a line.
TEST_F(Load, BurstAtAStalledServerNeverBlocksAndStaysBounded) {
    constexpr int kEvents = 20'000;
    constexpr int kBound = static_cast<int>(platform::linux_os::kMaxTransfers);
    std::optional<SilentServer> stalled(std::in_place);
    Velto::shared().setBaseURL(stalled->url("/velto/mob?"));
    Velto::initialize("px-burst");
    VeltoParams params("1", "USD", "A1,B2,C3", std::nullopt, std::nullopt);

    // By the wall clock alone, a busy machine's other programs would count too. So the work a
    // call does is timed on the thread's CPU clock, and a call counts as blocked only when it
    // gave up the CPU of its own accord (to wait for a lock or for I/O) and took too long.
    const auto bound = kSanitized ? 20ms : 1ms;
    std::vector<Clock::duration> work;
    work.reserve(kEvents);
    int accepted = 0, blocked = 0;
    const auto deadline = Clock::now() + 120s;
    for (int i = 0; i < kEvents && Clock::now() < deadline; ++i) {
        const long waitsBefore = voluntarySwitches();
        const auto cpuStart = threadTime();
        const auto wallStart = Clock::now();
        accepted += Velto::fireEvent(Event::ADD_TO_CART, &params);
        const auto wall = Clock::now() - wallStart;
        work.push_back(threadTime() - cpuStart);
        blocked += voluntarySwitches() != waitsBefore && wall > bound;
    }
    ASSERT_EQ(accepted, kEvents);
    std::sort(work.begin(), work.end());
    const auto p99 = work[work.size() * 99 / 100];
    EXPECT_LE(p99, bound) << "p99 " << std::chrono::duration<double, std::micro>(p99).count()
                          << " us of work per call";
    EXPECT_LE(blocked, kEvents / 100) << "calls that waited longer than the bound";

    ASSERT_TRUE(lines.waitFor(kEvents - kBound, 30s)) << lines.total() << " refused so far";
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lines.total(), kEvents - kBound) << "only those beyond the bound end early";
    EXPECT_EQ(lines.transportErrors(), lines.total());
    if (!kSanitized) {  // the sanitizers' own bookkeeping dwarfs the library's
        EXPECT_LT(peakResidentBytes(), 64L << 20);
    }

    stalled.reset();  // the waiting transfers are refused or reset now
    ASSERT_TRUE(Velto::flush(120));
    EXPECT_EQ(lines.total(), kEvents);
    EXPECT_EQ(lines.transportErrors(), kEvents);
}

// Host threads fire while another keeps changing what every event reads: exactly one line per
// event handed over, and (under the thread sanitizer) no data race.
TEST_F(Load, FiringWhileTheSettingsChange) {
    // One refuses every event, so both kinds of line are written side by side.
    FaultServer accepting(FaultServer::answer(200, "")),
        refusing(FaultServer::answer(400, "Failed to parse pixel: UNREGISTERED_PIXEL_ID"));
    const std::string urls[] = {accepting.baseURL(), refusing.baseURL(), "not a url"};
    const char* pixels[] = {"px-a", "px-b", ""};
    Velto::shared().setBaseURL(urls[0]);
    Velto::initialize(pixels[0]);

    constexpr int kThreads = 8;
    constexpr int kEach = 500;
    std::atomic<int> accepted{0}, firing{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            VeltoParams params;
            params.put("thread", std::to_string(t));
            for (int i = 0; i < kEach; ++i) {
                params.setItemId(std::to_string(i) + ",x");
                accepted += Velto::fireEvent(Event::ITEM_VIEW, &params);
            }
            --firing;
        });
    }
    std::thread changer([&] {
        const auto deadline = Clock::now() + 120s;
        for (unsigned i = 0; firing > 0 && Clock::now() < deadline; ++i) {
            Velto::shared().setBaseURL(urls[i % 3]);
            Velto::shared().setDebugMode(i % 2);
            Velto::initialize(pixels[i % 5 % 3]);
            std::this_thread::sleep_for(100us);
        }
    });
    for (auto& thread : threads) thread.join();
    changer.join();
    Velto::shared().setDebugMode(false);

    ASSERT_TRUE(Velto::flush(120));
    EXPECT_GT(accepted, 0);
    EXPECT_EQ(lines.total(), accepted);
    EXPECT_EQ(accepting.served() + refusing.served(), accepted);
    EXPECT_EQ(lines.transportErrors(), 0);
}

}  // namespace
}  // namespace VeltoSDK::testing
