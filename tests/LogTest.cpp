#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/Log.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class LogTest : public testing::FakePlatformTest {
protected:
    void TearDown() override { Velto::shared().setDebugMode(false); }
};

TEST_F(LogTest, WorkedExampleLine) {
    locale.zone = "Europe/Berlin";
    clock.seconds = 1796504823.045 - 3600;  // 21:07:03.045 in Berlin
    Log::info("fireEvent API is getting called", {"Sourcefiles/Velto", "fireEvent(_:eventParams:)"},
              12);
    EXPECT_EQ(output.writes(),
              std::vector<std::string>{
                  "2026-12-05 09:07:03045 [\u2139\uFE0F] [Velto]:12 fireEvent(_:eventParams:) -> "
                  "fireEvent API is getting called\n"});
}

TEST_F(LogTest, HourIsOnTheTwelveHourClockWithoutMarker) {
    const std::pair<double, const char*> cases[] = {
        {1796517000.0, "2026-12-06 12:30:00000"},  // 00:30
        {1796560200.0, "2026-12-06 12:30:00000"},  // 12:30
        {1796562300.0, "2026-12-06 01:05:00000"},  // 13:05
        // Milliseconds truncate, before 1970 too.
        {1796551445.9995, "2026-12-06 10:04:05999"},
        {-0.001, "1969-12-31 11:59:59999"},
        {1796551445.007, "2026-12-06 10:04:05007"},  // 10:04:05.007
    };
    for (const auto& [seconds, time] : cases) {
        clock.seconds = seconds;
        EXPECT_EQ(Log::formattedNow(), time) << seconds;
    }
    locale.zone = "Asia/Kolkata";  // a change of zone or locale is seen at once
    EXPECT_EQ(Log::formattedNow(), "2026-12-06 03:34:05007");
    locale.locale = "ar_EG";
    EXPECT_EQ(Log::formattedNow(), "٢٠٢٦-١٢-٠٦ ٠٣:٣٤:٠٥٠٠٧");
}

TEST_F(LogTest, TagsDebugGateAndEmptyPieces) {
    Log::error("e", {"f", "fn"}, 1);
    Log::debug("hidden", {"f", "fn"}, 2);
    Velto::shared().setDebugMode(true);
    Log::debug("shown", {"f", "fn"}, 3);
    Log::info("", {"a/b/", ""}, 7);
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{"[\u203C\uFE0F] [f] fn -> e",
                                        "[\U0001F4AC] [f] fn -> shown", "[\u2139\uFE0F] []  -> "}));
}

}  // namespace
}  // namespace VeltoSDK
