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

TEST_F(VeltoTest, AcceptedEventsAreAnnouncedEvenWithDebugModeOff) {
    const std::string original = Velto::shared().baseURL();
    Velto::shared().setBaseURL("http://127.0.0.1:9/velto/mob?");  // discard port, loopback only
    Velto::initialize(" abc ");
    output.clear();
    // The padded id makes an invalid URL: nothing is handed over, so nothing completes later.
    EXPECT_FALSE(Velto::fireEvent("MyOwnEvent"));
    Velto::shared().setBaseURL(original);
    EXPECT_TRUE(Velto::flush(10));
    const auto lines = output.lines();
    ASSERT_EQ(lines.size(), 2u) << "the call and the URL";
    EXPECT_EQ(
        lines[0],
        "[\u2139\uFE0F] [Velto] fireEvent(_:eventParams:) -> fireEvent API is getting called");
}

}  // namespace
}  // namespace VeltoSDK
