#include "EventJudge.hpp"

#include <gtest/gtest.h>

#include "WorkedExample.hpp"

namespace {

using namespace VeltoSDK::collector;

IncomingEvent goodEvent() {
    return {"POST",
            "Purchase",
            "px-1",
            {"application/json"},
            {"application/json"},
            workedExampleBody().dump(4)};
}

Registry openRegistry() { return {{}, standardEvents()}; }

std::optional<Rejection> rejectionOf(const IncomingEvent& event,
                                     const Registry& registry = openRegistry()) {
    return judge(event, registry).rejection;
}

Rejection missing(std::string field) { return {Reason::MissingRequiredField, std::move(field)}; }

TEST(EventJudge, AcceptsAGoodEventAndKeepsItsParsedBody) {
    Verdict verdict = judge(goodEvent(), openRegistry());
    EXPECT_EQ(verdict.rejection, std::nullopt);
    ASSERT_TRUE(verdict.body);
    EXPECT_EQ(*verdict.body, workedExampleBody());
}

TEST(EventJudge, StandardEventsAreTheEightCommonNames) {
    EXPECT_EQ(standardEvents(),
              (std::set<std::string>{"PageView", "LandingPage", "ItemView", "AddToCart",
                                     "InitiateCheckout", "AddPaymentInfo", "Purchase", "Lead"}));
}

TEST(EventJudge, MissingOrEmptyEventNameNamesE) {
    IncomingEvent event = goodEvent();
    event.eventName.reset();
    EXPECT_EQ(rejectionOf(event), missing("e"));
    event.eventName = "";
    event.pixelId = "unknown";
    EXPECT_EQ(rejectionOf(event, {{"px-1"}, standardEvents()}), missing("e"))
        << "the event name is checked before the pixel id";
}

TEST(EventJudge, PixelIdMustBeRegistered) {
    const Rejection unregistered{Reason::UnregisteredPixelId, "pi"};
    IncomingEvent event = goodEvent();
    Registry registry{{"px-1", "px-2"}, standardEvents()};
    EXPECT_EQ(rejectionOf(event, registry), std::nullopt);

    event.pixelId = "PX-1";
    EXPECT_EQ(rejectionOf(event, registry), unregistered) << "ids compare exactly";
    event.pixelId = "any-id-at-all";
    EXPECT_EQ(rejectionOf(event), std::nullopt) << "no registered ids: any non-blank one";
    for (const char* blank : {"", " \t", "\u3000\u00a0"}) {
        event.pixelId = blank;
        EXPECT_EQ(rejectionOf(event), unregistered) << "blank id";
    }
    event.pixelId.reset();
    EXPECT_EQ(rejectionOf(event), unregistered);
}

TEST(EventJudge, EventMustBeSupported) {
    const Rejection unsupported{Reason::UnsupportedEvent, "e"};
    IncomingEvent event = goodEvent();
    event.eventName = "purchase";
    EXPECT_EQ(rejectionOf(event), unsupported) << "names compare case-sensitively";

    event.eventName = "TutorialDone";
    EXPECT_EQ(rejectionOf(event), unsupported);
    Registry registry = openRegistry();
    registry.events.insert("TutorialDone");
    EXPECT_EQ(rejectionOf(event, registry), std::nullopt);
}

TEST(EventJudge, MethodAndHeadersMustBeThoseOfTheLibrary) {
    IncomingEvent event = goodEvent();
    event.method = "GET";
    EXPECT_EQ(rejectionOf(event), missing("method"));

    for (std::vector<std::string> values : {std::vector<std::string>{},
                                            {"text/plain"},
                                            {"application/json; charset=utf-8"},
                                            {"application/json", "application/json"}}) {
        event = goodEvent();
        event.contentType = values;
        EXPECT_EQ(rejectionOf(event), missing("Content-Type"));
        event = goodEvent();
        event.accept = values;
        EXPECT_EQ(rejectionOf(event), missing("Accept"));
    }
}

TEST(EventJudge, BodyFaultsComeLast) {
    IncomingEvent event = goodEvent();
    event.body = "{\"et\": 1,";
    Verdict verdict = judge(event, openRegistry());
    EXPECT_EQ(verdict.rejection, missing("body"));
    EXPECT_FALSE(verdict.body) << "text that is not JSON has no parsed body";

    event.pixelId = "";
    EXPECT_EQ(rejectionOf(event), (Rejection{Reason::UnregisteredPixelId, "pi"}))
        << "query faults take precedence";
}

TEST(EventJudge, BlankIsOnlyWhiteSpace) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank(" \t\r\n\u2028\u205f"));
    EXPECT_FALSE(isBlank(" abc "));
    EXPECT_FALSE(isBlank("\u200b")) << "zero width space is not White_Space";
    EXPECT_FALSE(isBlank(std::string(" \xc2", 2))) << "truncated UTF-8";
    EXPECT_FALSE(isBlank("\xff"));
}

TEST(Rejection, ResponseBodyHasTheParserForm) {
    EXPECT_EQ(responseBody({Reason::UnregisteredPixelId, "pi"}),
              R"(Failed to parse pixel: UNREGISTERED_PIXEL_ID error_string:"pi")");
    EXPECT_EQ(responseBody({Reason::UnsupportedEvent, "e"}),
              R"(Failed to parse pixel: PIXEL_UNSUPPORTED_EVENT error_string:"e")");
    EXPECT_EQ(responseBody(missing("conntype")),
              R"(Failed to parse pixel: PIXEL_MISSING_REQUIRED_FIELD error_string:"conntype")");
}

}  // namespace
