#include <gtest/gtest.h>

#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/Velto.hpp>

#include <string_view>
#include <thread>

#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

class VeltoTest : public testing::PlatformTest {
protected:
    bool refused(std::string_view line) {
        return line.starts_with("[\u203C\uFE0F] [Velto]:") &&
               line.ends_with(
                   "fireEvent(_:eventParams:) -> Initialize not called. Please call "
                   "initialize atleast once before calling fireEvent");
    }
};

TEST_F(VeltoTest, RefusesEventsWhileThePixelIdIsBlank) {
    for (const char* id : {"", "   ", "\u3000"}) {
        Velto::initialize(id);
        output.clear();
        EXPECT_FALSE(Velto::fireEvent(Event::PURCHASE));
        ASSERT_EQ(output.linesWithoutDate().size(), 1u) << id;
        EXPECT_TRUE(refused(output.linesWithoutDate()[0])) << output.linesWithoutDate()[0];
    }
}

TEST_F(VeltoTest, ABlankIdReplacesAGoodOne) {
    Velto::initialize("good");
    Velto::initialize(" ");
    output.clear();
    EXPECT_FALSE(Velto::fireEvent("Anything"));
    EXPECT_TRUE(refused(output.linesWithoutDate().at(0)));
}

TEST_F(VeltoTest, AcceptedEventsAreAnnouncedEvenWithDebugModeOff) {
    Velto::shared().setBaseURL("http://127.0.0.1:9/velto/mob?");  // discard port, loopback only
    Velto::initialize(" abc ");
    output.clear();
    Velto::fireEvent("MyOwnEvent");
    const auto lines = output.linesWithoutDate();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("[\u2139\uFE0F] [Velto]:"));
    EXPECT_TRUE(
        lines[0].ends_with(" fireEvent(_:eventParams:) -> fireEvent API is getting called"));
}

TEST_F(VeltoTest, SettingsHaveDefaultsAndAreSafeToChangeWhileRead) {
    Velto& velto = Velto::shared();
    EXPECT_TRUE(velto.baseURL().starts_with("https://"));
    EXPECT_TRUE(velto.baseURL().ends_with("/velto/mob?"));
    EXPECT_FALSE(velto.debugMode());

    const std::string original = velto.baseURL();
    const std::string other = "http://127.0.0.1:1/other-path-without-query-mark";
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            velto.setBaseURL(i % 2 ? other : original);
            velto.setDebugMode(i % 2);
        }
        done = true;
    });
    while (!done) {
        std::string seen = velto.baseURL();
        ASSERT_TRUE(seen == original || seen == other) << seen;
    }
    writer.join();
    velto.setBaseURL(original);
    velto.setDebugMode(false);
}

TEST(EventTest, ConstantsHaveTheirTexts) {
    EXPECT_STREQ(Event::PAGE_VIEW, "PageView");
    EXPECT_STREQ(Event::LANDING_PAGE, "LandingPage");
    EXPECT_STREQ(Event::ITEM_VIEW, "ItemView");
    EXPECT_STREQ(Event::ADD_TO_CART, "AddToCart");
    EXPECT_STREQ(Event::INITIATE_CHECKOUT, "InitiateCheckout");
    EXPECT_STREQ(Event::ADD_PAYMENT_INFO, "AddPaymentInfo");
    EXPECT_STREQ(Event::PURCHASE, "Purchase");
    EXPECT_STREQ(Event::LEAD, "Lead");
}

}  // namespace
}  // namespace VeltoSDK
