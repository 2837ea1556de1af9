#include <thread>

#include "Sourcefiles/Log.hpp"
#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

using WarmUpTest = testing::PlatformTest;

// The first line of a thread, written while another thread warms up or after it has, reads the
// same: the warm-up only loads data that every thread then shares. The first case runs with
// nothing loaded yet in the process.
TEST_F(WarmUpTest, FirstLineReadsTheSameDuringAndAfterWarmUp) {
    clock.seconds = 1796551445.007;  // 10:04:05.007 UTC
    const struct {
        const char* locale;
        const char* zone;
        const char* time;
    } cases[] = {
        {"en_US_POSIX", "Asia/Kolkata", "2026-12-06 03:34:05007"},
        {"ar_EG", "Asia/Kolkata", "٢٠٢٦-١٢-٠٦ ٠٣:٣٤:٠٥٠٠٧"},
        {"th_TH", "UTC", "2569-12-06 10:04:05007"},           // the Buddhist era
        {"iw_IL", "Asia/Jerusalem", "2026-12-06 12:04:05007"},  // an old code for Hebrew
    };
    for (const auto& [name, zone, time] : cases) {
        locale.locale = name;
        locale.zone = zone;
        std::string during, after;
        std::thread warming([] { Log::warmUp(); });
        std::thread([&] { during = Log::formattedNow(); }).join();
        warming.join();
        std::thread([&] { after = Log::formattedNow(); }).join();
        EXPECT_EQ(during, time) << name;
        EXPECT_EQ(after, time) << name;
    }
}

}  // namespace
}  // namespace VeltoSDK
