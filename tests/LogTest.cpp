#include <gtest/gtest.h>

#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/Log.hpp"
#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class LogTest : public testing::PlatformTest {
protected:
    void TearDown() override { Velto::shared().setDebugMode(false); }
};

TEST_F(LogTest, WritesTheDocumentedLineExactly) {
    locale.zone = "Europe/Berlin";
    clock.seconds = 1796504823.045 - 3600;  // 21:07:03.045 in Berlin, 20:07:03.045 UTC
    Log::info("fireEvent API is getting called", "Sourcefiles/Velto", 12,
              "fireEvent(_:eventParams:)");
    ASSERT_EQ(output.writes().size(), 1u);
    EXPECT_EQ(output.writes()[0],
              "2026-12-05 09:07:03045 [\u2139\uFE0F] [Velto]:12 fireEvent(_:eventParams:) -> "
              "fireEvent API is getting called\n");
}

TEST_F(LogTest, HourIsOnTheTwelveHourClockWithoutMarker) {
    struct Case {
        double seconds;
        const char* time;
    };
    const Case cases[] = {
        {1796517000.0, "2026-12-06 12:30:00000"},    // 00:30
        {1796560200.0, "2026-12-06 12:30:00000"},    // 12:30
        {1796562300.0, "2026-12-06 01:05:00000"},    // 13:05
        {1796551445.007, "2026-12-06 10:04:05007"},  // 10:04:05.007
    };
    for (const Case& c : cases) {
        clock.seconds = c.seconds;
        EXPECT_EQ(Log::formattedNow(), c.time);
    }
}

// Successive lines within a second, across seconds, back in time and before 1970.
TEST_F(LogTest, EachLineShowsItsOwnInstant) {
    const std::pair<double, const char*> cases[] = {
        {1796551445.007, "2026-12-06 10:04:05007"}, {1796551445.9995, "2026-12-06 10:04:05999"},
        {1796551446.0, "2026-12-06 10:04:06000"},   {1796551445.5, "2026-12-06 10:04:05500"},
        {-0.001, "1969-12-31 11:59:59999"},         {0.0, "1970-01-01 12:00:00000"},
    };
    for (const auto& [seconds, time] : cases) {
        clock.seconds = seconds;
        EXPECT_EQ(Log::formattedNow(), time) << seconds;
    }
}

TEST_F(LogTest, FollowsChangesOfLocaleAndTimeZone) {
    clock.seconds = 1796551445.007;  // 10:04:05.007 UTC
    EXPECT_EQ(Log::formattedNow(), "2026-12-06 10:04:05007");
    locale.zone = "Asia/Kolkata";
    EXPECT_EQ(Log::formattedNow(), "2026-12-06 03:34:05007");
    locale.locale = "ar_EG";  // the locale's own digits
    EXPECT_EQ(Log::formattedNow(),
              "٢٠٢٦-١٢-٠٦ "
              "٠٣:٣٤:٠٥٠٠٧");
}

TEST_F(LogTest, TagsAndDebugGate) {
    Log::error("e", "f", 1, "fn");
    Log::debug("hidden", "f", 2, "fn");
    Velto::shared().setDebugMode(true);
    Log::debug("shown", "f", 3, "fn");
    EXPECT_EQ(output.linesWithoutDate(),
              (std::vector<std::string>{"[\u203C\uFE0F] [f]:1 fn -> e",
                                        "[\U0001F4AC] [f]:3 fn -> shown"}));
}

TEST_F(LogTest, EmptyPiecesKeepTheirSeparators) {
    Log::info("", "a/b/", 7, "");
    Log::info("multi\nline", "c", 70, "g");
    EXPECT_EQ(output.linesWithoutDate(),
              (std::vector<std::string>{"[\u2139\uFE0F] []:7  -> ",
                                        "[\u2139\uFE0F] [c]:70 g -> multi\nline"}));
}

TEST(SourceFileName, KeepsTheLastPathPiece) {
    EXPECT_EQ(Log::sourceFileName("a/b/c"), "c");
    EXPECT_EQ(Log::sourceFileName("c"), "c");
    EXPECT_EQ(Log::sourceFileName("a/b/"), "");
}

}  // namespace
}  // namespace VeltoSDK
