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

// The handler takes every line at or above the minimum level (debug lines in debug mode
// only), whole and escaped, instead of standard output; without it, output gets them again.
TEST_F(LogHandlerTest, HandlerTakesTheLinesOfTheMinimumLevelUntilRemoved) {
    clock.seconds = 1796551445.007;
    std::vector<std::string> handled;
    Velto::setLogHandler([&](LogLevel level, std::string_view line) {
        handled.push_back(std::to_string(int(level)) + " " + std::string(line));
    });
    const std::string time = "2026-12-06 10:04:05007 ",
                      e = "2 " + time + "[\u203C\uFE0F] [f]:1 fn -> e",
                      i = "1 " + time + "[\u2139\uFE0F] [f]:2 fn -> i",
                      d = "0 " + time + "[\U0001F4AC] [f]:3 fn -> d";
    const std::tuple<LogLevel, bool, std::vector<std::string>> cases[] = {
        {LogLevel::debug, false, {e, i}},  // the default: as without a level
        {LogLevel::debug, true, {e, i, d}},   {LogLevel::info, true, {e, i}},
        {LogLevel::error, true, {e}},         {LogLevel::off, true, {}},
        {static_cast<LogLevel>(7), true, {}},  // not a level: the level stays off
    };
    for (const auto& [minimum, debugMode, lines] : cases) {
        handled.clear();
        Velto::setLogLevel(minimum);
        Velto::shared().setDebugMode(debugMode);
        writeOneOfEach();
        EXPECT_EQ(handled, lines) << int(minimum) << " " << debugMode;
    }
    EXPECT_EQ(Velto::logLevel(), LogLevel::off);
    Velto::setLogLevel(LogLevel::info);
    Log::info("two\nlines", {"a/b", "g"}, 12);
    EXPECT_EQ(handled.back(), "1 " + time + "[\u2139\uFE0F] [b]:12 g -> two\\nlines");
    EXPECT_TRUE(output.writes().empty());
    Velto::setLogHandler([](LogLevel, std::string_view) { throw std::runtime_error("dropped"); });
    Log::error("lost", {"f", "fn"}, 1);  // what a handler throws stays in the library
    Velto::setLogHandler(nullptr);
    Velto::setLogLevel(LogLevel::error);
    writeOneOfEach();
    EXPECT_EQ(output.lines(), std::vector<std::string>{"[\u203C\uFE0F] [f] fn -> e"});
}

// Two threads log without pause while handlers are swapped. Each handler owns a flag that is
// freed with it: once the setter returns, the replaced one must be gone, never called again.
TEST_F(LogHandlerTest, ReplacedHandlerIsGoneWhenTheSetterReturns) {
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0}, late{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&] {
            for (int i = 0; i < 10'000'000 && !stop; ++i) Log::error("x", {"f", "fn"}, 1);
        });
    std::weak_ptr<std::atomic<bool>> previous;
    for (int swap = 0; swap < 200; ++swap) {
        auto replaced = std::make_shared<std::atomic<bool>>(false);
        const int before = calls;
        Velto::setLogHandler([&, replaced](LogLevel, std::string_view) {
            ++calls;
            late += *replaced;
        });
        if (auto old = previous.lock()) *old = true, ADD_FAILURE() << "alive after " << swap;
        previous = std::exchange(replaced, nullptr);
        for (int wait = 0; wait < 1000 && calls == before; ++wait)  // at most 100 ms
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    Velto::setLogHandler(nullptr);
    EXPECT_TRUE(previous.expired());
    stop = true;
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(late, 0);
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
