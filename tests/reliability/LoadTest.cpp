#include <sys/resource.h>

#include <fstream>
#include <new>

#include <VeltoSDK/VeltoSDK.hpp>

#include "Sourcefiles/RequestManager.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

// Buffers whose release this program's operator delete watches while `watcher` is set, and
// how many of them that thread freed itself.
struct TrackedBuffers {
    std::atomic<const void*> buffers[512] = {};
    std::atomic<int> count{0}, freed{0}, freedByWatcher{0};
    std::atomic<pid_t> watcher{0};

    void track(const void* buffer) { buffers[count++ % 512] = buffer; }
    int alive() const { return count - freed; }
    void noteFreed(const void* buffer) {
        if (!buffer || watcher.load(std::memory_order_relaxed) == 0) return;
        for (auto& tracked : buffers) {
            if (const void* expected = buffer; tracked.compare_exchange_strong(expected, nullptr)) {
                ++freed;
                freedByWatcher += ::gettid() == watcher;
                return;
            }
        }
    }
};
// Constant-initialised: other files' static initialisers already free memory.
constinit TrackedBuffers trackedBodies;

}  // namespace
}  // namespace VeltoSDK::testing

// Replacements: what operator new returns, free() takes back.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    VeltoSDK::testing::trackedBodies.noteFreed(memory);
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept { ::operator delete(memory); }
#pragma GCC diagnostic pop

namespace VeltoSDK::testing {
namespace {

using Clock = std::chrono::steady_clock;

using Load = LoopbackTest;

// A burst at a server that never answers: every call returns (a call that waited for the
// server would stop the loop at its deadline), transfers beyond the client's bound in count or
// in bytes are refused at once and say so, memory stays bounded, and every event still ends in
// a line.
TEST_F(Load, PendingTransfersAreBoundedInCountAndBytes) {
    constexpr int kEvents = 20'000, kBound = 10'000;  // the bound: transfers pending at once
    std::optional<LoopbackServer> stalled(std::in_place);
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
    for (int i = accepted = 0; i < 100; ++i)
        accepted += post(stalled->url(), 2000, {&RequestManager::handleCompletion, "Purchase"},
                         std::string(1 << 20, 'b'));
    EXPECT_EQ(accepted, 64);
    EXPECT_TRUE(lines.waitFor(kEvents + 36, 10s));
    stalled.reset();
    ASSERT_TRUE(Velto::flush(20));
    EXPECT_EQ(lines.transportErrors, kEvents + 100);
}

// Host threads fire while another keeps changing what every event reads: exactly one line per
// event handed over, (under the thread sanitizer) no data race, and events to one host travel
// side by side on at most six connections.
TEST_F(Load, FiringWhileTheSettingsChange) {
    LoopbackServer server([](const std::string& request) {
        std::this_thread::sleep_for(2ms);  // long enough that the events overlap
        return request.find("&pi=px-b ") == std::string::npos  // both kinds of line side by side
                   ? httpAnswer("200 OK")
                   : httpAnswer("400 Bad", "Failed to parse pixel: UNREGISTERED_PIXEL_ID");
    });
    const std::string urls[] = {server.url(), "not a url"};
    const char* pixels[] = {"px-a", "px-b", ""};
    Velto::shared().setBaseURL(urls[0]);
    Velto::initialize(pixels[0]);

    constexpr int kThreads = 8, kEach = 500;
    std::atomic<int> accepted{0}, firing{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            VeltoParams params;
            params.put("thread", std::to_string(t));
            for (int i = 0; i < kEach; ++i, params.setItemId(std::to_string(i) + ",x"))
                accepted += Velto::fireEvent(Event::ITEM_VIEW, &params);
            --firing;
        });
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
    EXPECT_EQ(server.requests, accepted);
    EXPECT_EQ(lines.transportErrors, 0);
    EXPECT_LE(server.connections, 6);
    EXPECT_GT(server.connections, 1);
}

// A completed transfer's memory goes back to the threads that hand over events, two per
// hand-over, while others are outstanding; beyond a small backlog, and once none is
// outstanding, the client frees it itself, so nothing is kept while idle. Each transfer's body
// buffer stands for its memory: its release is seen by this program's operator delete.
TEST_F(Load, CompletedTransfersAreFreedByTheNextHandOvers) {
    std::atomic<int> completed{0};
    static std::atomic<int>* counter = &completed;
    const platform::CompletionHandler counting{[](auto...) { ++*counter; }, ""};
    auto postTracked = [&](const std::string& url) {
        std::string body(64, 'b');
        trackedBodies.track(body.data());
        return post(url, 30, counting, std::move(body));
    };
    std::atomic<bool> held{false};  // answers wait while set
    LoopbackServer answering([&](const std::string& request) {
        while (held) std::this_thread::sleep_for(1ms);
        return answer200(request);
    });
    std::optional<LoopbackServer> stalled(std::in_place);  // keeps one transfer outstanding
    trackedBodies.watcher = ::gettid();
    ASSERT_TRUE(postTracked(stalled->url()));

    for (int i = 0; i < 20; ++i) ASSERT_TRUE(postTracked(answering.url()));
    ASSERT_TRUE(waitUntil([&] { return completed == 20; }, 20s));
    EXPECT_EQ(trackedBodies.freedByWatcher, 0);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(postTracked(answering.url()));
    EXPECT_EQ(trackedBodies.freedByWatcher, 20);

    held = true;  // these complete with no hand-over after them
    for (int i = 0; i < 400; ++i) ASSERT_TRUE(postTracked(answering.url()));
    held = false;
    ASSERT_TRUE(waitUntil([&] { return completed == 430; }, 20s));
    EXPECT_LE(trackedBodies.alive(), 257) << "at most 256 completed kept, besides the stalled";

    stalled.reset();
    ASSERT_TRUE(Velto::flush(20));
    EXPECT_TRUE(waitUntil([] { return trackedBodies.alive() == 0; }, 20s)) << trackedBodies.alive();
    trackedBodies.watcher = 0;
}

// The worker starts away from the thread that starts it, so that its set-up does not take
// turns with that thread's first events, and may run on every core once set up.
TEST_F(Load, TheWorkerEndsUpAllowedEveryCoreItsStarterHad) {
    auto field = [](const std::filesystem::path& task, std::string_view key) {
        std::ifstream status(task / "status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with(key)) return line.substr(key.size());
        return std::string();
    };
    Velto::initialize("px-cores");
    ASSERT_TRUE(post("http://127.0.0.1:9/", 10, {}));  // refused; the worker is set up by then
    ASSERT_TRUE(Velto::flush(10));
    std::string worker;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        if (field(task, "Name:\t") == platform::linux_os::kWorkerThreadName)
            worker = field(task, "Cpus_allowed_list:");
    ASSERT_FALSE(worker.empty()) << "no thread named " << platform::linux_os::kWorkerThreadName;
    EXPECT_EQ(worker, field("/proc/thread-self", "Cpus_allowed_list:"));
}

}  // namespace
}  // namespace VeltoSDK::testing
