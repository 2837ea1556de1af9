#include <sys/resource.h>

#include <VeltoSDK/VeltoSDK.hpp>

#include "Sourcefiles/RequestManager.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

using Clock = std::chrono::steady_clock;

using Load = LoopbackTest;

// A burst at a server that never answers: every call returns (a call that waited for the
// server would stop the loop at its deadline), transfers beyond the client's bound in count or
// in bytes are refused at once and say so, memory stays bounded, and every event still ends in
// a line.
TEST_F(Load, PendingTransfersAreBoundedInCountAndBytes) {
    constexpr int kEvents = 20'000;
    constexpr int kBound = static_cast<int>(platform::linux_os::kMaxTransfers);
    std::optional<SilentServer> stalled(std::in_place);
    Velto::shared().setBaseURL(stalled->url());
    Velto::initialize("px-burst");
    VeltoParams params("1", "USD", "A1,B2,C3", std::nullopt, std::nullopt);
    std::atomic<int> outcomes{0};
    Velto::setOutcomeHandler([&](const EventOutcome&) { ++outcomes; });
    int accepted = 0;
    const auto deadline = Clock::now() + 120s;
    for (int i = 0; i < kEvents && Clock::now() < deadline; ++i)
        accepted += Velto::fireEvent(Event::ADD_TO_CART, &params);
    ASSERT_EQ(accepted, kBound);

    ASSERT_TRUE(lines.waitFor(kEvents - kBound, 30s)) << lines.total << " refused so far";
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(lines.total, kEvents - kBound) << "only those beyond the bound end early";
    EXPECT_EQ(lines.transportErrors, lines.total);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    rusage usage{};  // the most memory held at once; the sanitizers' bookkeeping dwarfs ours
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 64L << 10) << "KiB";
#endif

    stalled.reset();  // the waiting transfers are refused or reset now
    ASSERT_TRUE(Velto::flush(120));
    EXPECT_EQ(lines.total, kEvents);
    EXPECT_EQ(lines.transportErrors, kEvents);
    Velto::setOutcomeHandler(nullptr);
    EXPECT_EQ(outcomes, kBound) << "an event refused at hand-over has a line but no outcome";

    // Bounded by their bodies' bytes too: 64 MiB, here 64 bodies of 1 MiB.
    stalled.emplace();
    accepted = 0;
    for (int i = 0; i < 100; ++i)
        accepted += post(stalled->url(), 2000, {&RequestManager::handleCompletion, "Purchase"},
                         std::string(1 << 20, 'b'));
    EXPECT_EQ(accepted, 64);
    EXPECT_TRUE(lines.waitFor(kEvents + 36, 10s));
    stalled.reset();
    ASSERT_TRUE(Velto::flush(20));
    EXPECT_EQ(lines.transportErrors, kEvents + 100);
}

// Host threads fire while another keeps changing what every event reads: exactly one line per
// event handed over, and (under the thread sanitizer) no data race.
TEST_F(Load, FiringWhileTheSettingsChange) {
    std::atomic<int> served{0};
    LocalServer server;  // refuses px-b, so both kinds of line are written side by side
    server.routes().Post("/velto/mob", [&](const httplib::Request& req, auto& res) {
        ++served;
        if (req.get_param_value("pi") == "px-b") {
            res.status = 400;
            res.set_content("Failed to parse pixel: UNREGISTERED_PIXEL_ID", "text/plain");
        }
    });
    server.start();
    const std::string urls[] = {server.url(), "not a url"};
    const char* pixels[] = {"px-a", "px-b", ""};
    Velto::shared().setBaseURL(urls[0]);
    Velto::initialize(pixels[0]);

    constexpr int kThreads = 8, kEach = 500;
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
            Velto::shared().setBaseURL(urls[i % 3 / 2]);
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
    EXPECT_EQ(lines.total, accepted);
    EXPECT_EQ(served, accepted);
    EXPECT_EQ(lines.transportErrors, 0);
}

// Events to one host travel side by side, on at most six connections. (That successive ones
// share one is in the fault suite.)
TEST_F(Load, AtMostSixTransfersToOneHostAtOnce) {
    LocalServer server;
    std::atomic<int> inFlight{0}, most{0};
    server.routes().Post("/velto/mob", [&](const auto&, auto&) {
        for (int now = ++inFlight, seen = most;
             now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(150ms);
        --inFlight;
    });
    server.start();
    Velto::initialize("px-connections");
    Velto::shared().setBaseURL(server.url());
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(Velto::fireEvent(Event::LEAD));
    ASSERT_TRUE(Velto::flush(20));
    EXPECT_EQ(lines.successes, 20);
    EXPECT_LE(most.load(), 6);
    EXPECT_GT(most.load(), 1);
}

}  // namespace
}  // namespace VeltoSDK::testing
