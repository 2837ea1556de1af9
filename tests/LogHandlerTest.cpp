#include <VeltoSDK/Velto.hpp>

#include <thread>

#include "Sourcefiles/Log.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class LogHandlerTest : public testing::FakePlatformTest {
protected:
    void TearDown() override {
        Velto::setLogHandler(nullptr);
        Velto::setLogLevel(LogLevel::debug);
        Velto::shared().setDebugMode(false);
    }
    // One line of each level; debug lines need debug mode.
    static void writeOneOfEach() {
        Log::error("e", {"f", "fn"}, 1);
        Log::info("i", {"f", "fn"}, 2);
        Log::debug("d", {"f", "fn"}, 3);
    }
};

TEST_F(LogHandlerTest, MinimumLevelWithAndWithoutDebugMode) {
    const std::string e = "[\u203C\uFE0F] [f] fn -> e", i = "[\u2139\uFE0F] [f] fn -> i",
                      d = "[\U0001F4AC] [f] fn -> d";
    const std::tuple<LogLevel, bool, std::vector<std::string>> cases[] = {
        {LogLevel::debug, false, {e, i}},  // the default: as without a level
        {LogLevel::debug, true, {e, i, d}},   {LogLevel::info, true, {e, i}},
        {LogLevel::error, true, {e}},         {LogLevel::off, true, {}},
        {static_cast<LogLevel>(7), true, {}},  // not a level: the level stays off
    };
    for (const auto& [minimum, debugMode, lines] : cases) {
        output.clear();
        Velto::setLogLevel(minimum);
        Velto::shared().setDebugMode(debugMode);
        writeOneOfEach();
        EXPECT_EQ(output.lines(), lines) << int(minimum) << " " << debugMode;
    }
    EXPECT_EQ(Velto::logLevel(), LogLevel::off);
}

TEST_F(LogHandlerTest, HandlerTakesTheLinesInsteadOfOutputUntilRemoved) {
    clock.seconds = 1796551445.007;
    std::vector<std::pair<LogLevel, std::string>> handled;
    Velto::setLogHandler(
        [&](LogLevel level, std::string_view line) { handled.emplace_back(level, line); });
    Velto::shared().setDebugMode(true);
    writeOneOfEach();
    Log::info("two\nlines", {"a/b", "g"}, 12);
    EXPECT_TRUE(output.writes().empty());
    const std::string time = "2026-12-06 10:04:05007 ";
    EXPECT_EQ(handled, (std::vector<std::pair<LogLevel, std::string>>{
                           {LogLevel::error, time + "[\u203C\uFE0F] [f]:1 fn -> e"},
                           {LogLevel::info, time + "[\u2139\uFE0F] [f]:2 fn -> i"},
                           {LogLevel::debug, time + "[\U0001F4AC] [f]:3 fn -> d"},
                           {LogLevel::info, time + "[\u2139\uFE0F] [b]:12 g -> two\\nlines"},
                       }));
    Velto::setLogLevel(LogLevel::error);  // the level holds for the handler too
    writeOneOfEach();
    EXPECT_EQ(handled.size(), 5u);
    Velto::setLogHandler([](LogLevel, std::string_view) { throw std::runtime_error("dropped"); });
    Log::error("lost", {"f", "fn"}, 1);  // what a handler throws stays in the library
    Velto::setLogHandler(nullptr);
    Log::error("back", {"f", "fn"}, 1);
    EXPECT_EQ(output.lines(), std::vector<std::string>{"[\u203C\uFE0F] [f] fn -> back"});
    EXPECT_EQ(handled.back().second, "2026-12-06 10:04:05007 [\u203C\uFE0F] [f]:1 fn -> e");
}

// Each handler counts the calls it gets after its replacement returned, and owns a token that
// must be freed by then. Two threads log without pause while the main thread swaps handlers.
TEST_F(LogHandlerTest, ReplacedHandlerIsNeverCalledAfterTheSetterReturns) {
    struct Probe {
        std::atomic<bool> replaced{false};
        std::atomic<int> callsAfterReplacement{0}, calls{0};
    };
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < 10'000'000 && !stop; ++i) Log::error("x", {"f", "fn"}, 1);
        });
    }
    constexpr int kSwaps = 200;
    std::vector<std::unique_ptr<Probe>> probes;
    std::weak_ptr<int> previous;
    for (int swap = 0; swap < kSwaps; ++swap) {
        Probe* probe = probes.emplace_back(std::make_unique<Probe>()).get();
        auto token = std::make_shared<int>();
        Velto::setLogHandler([probe, token](LogLevel, std::string_view) {
            ++probe->calls;
            if (probe->replaced) ++probe->callsAfterReplacement;
        });
        EXPECT_TRUE(previous.expired()) << "the replaced handler is gone";
        previous = std::exchange(token, nullptr);
        if (swap > 0) probes[swap - 1]->replaced = true;
        // Each handler gets calls before it is replaced (waiting at most 100 ms).
        for (int wait = 0; wait < 1000 && probe->calls == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    Velto::setLogHandler(nullptr);
    probes.back()->replaced = true;
    stop = true;
    for (auto& writer : writers) writer.join();
    int calls = 0;
    for (const auto& probe : probes) {
        EXPECT_EQ(probe->callsAfterReplacement, 0);
        calls += probe->calls;
    }
    EXPECT_TRUE(previous.expired());
    EXPECT_GT(calls, 0);
}

TEST_F(LogHandlerTest, AHandlerMayReplaceItself) {
    std::vector<std::string> seen;
    auto second = [&](LogLevel, std::string_view) { seen.push_back("second"); };
    auto owned = std::make_shared<std::string>("first");  // freed with the first handler
    Velto::setLogHandler([&, owned](LogLevel, std::string_view) {
        Velto::setLogHandler(second);
        seen.push_back(*owned);  // still alive until this call returns
    });
    Log::error("a", {"f", "fn"}, 1);
    Log::error("b", {"f", "fn"}, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
}

}  // namespace
}  // namespace VeltoSDK
