#include <gtest/gtest.h>

#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Velto.hpp>

#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class VeltoTest : public testing::PlatformTest {};

TEST_F(VeltoTest, RefusesEventsWhileThePixelIdIsBlank) {
    for (const char* id : {"", "   ", "\u3000"}) {
        Velto::initialize("good");
        Velto::initialize(id);  // a blank id replaces a good one
        output.clear();
        EXPECT_FALSE(Velto::fireEvent(Event::PURCHASE));
        const auto lines = output.linesWithoutDate();
        ASSERT_EQ(lines.size(), 1u) << id;
        EXPECT_TRUE(lines[0].starts_with("[\u203C\uFE0F] [Velto]:"));
        EXPECT_TRUE(
            lines[0].ends_with("fireEvent(_:eventParams:) -> Initialize not called. Please call "
                               "initialize atleast once before calling fireEvent"));
    }
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
    const auto lines = output.linesWithoutDate();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with("[\u2139\uFE0F] [Velto]:"));
    EXPECT_TRUE(lines[0].ends_with("fireEvent(_:eventParams:) -> fireEvent API is getting called"));
    EXPECT_TRUE(lines[1].find("contructHostURL(eventName:) -> Velto Host URL ") !=
                std::string::npos);
}

}  // namespace
}  // namespace VeltoSDK
