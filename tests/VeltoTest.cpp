#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/VeltoSettings.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class VeltoTest : public testing::FakePlatformTest {};

// A blank id replaces a good one, but events wait for a good one and start time stays.
TEST_F(VeltoTest, BlankPixelIdIsStoredButRefusesEvents) {
    VeltoSettings& settings = VeltoSettings::shared();
    const std::int64_t initTime = settings.init_time();
    for (const char* id : {"", "\t\n", "\u3000"}) {
        clock.seconds = 1800000000.9999;  // whole milliseconds, truncated
        output.clear();
        Velto::initialize(" 123 ");
        clock.seconds = 1800000005.0;
        Velto::initialize(id);
        EXPECT_EQ(settings.pixelId(), id);
        EXPECT_EQ(settings.start_time(), 1800000000999);
        EXPECT_FALSE(Velto::fireEvent(Event::PURCHASE));
        EXPECT_EQ(output.lines(),
                  (std::vector<std::string>{
                      "[\u2139\uFE0F] [VeltoSettings] setup(_:) -> Kavro Tallyway SDK initialized",
                      "[\u203C\uFE0F] [VeltoSettings] setup(_:) -> Invalid Pixel Id",
                      "[\u203C\uFE0F] [Velto] fireEvent(_:eventParams:) -> Initialize not called. "
                      "Please call initialize atleast once before calling fireEvent"}))
            << id;
    }
    EXPECT_EQ(settings.init_time(), initTime);
}

}  // namespace
}  // namespace VeltoSDK
