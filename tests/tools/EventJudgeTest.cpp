#include "EventJudge.hpp"

#include <gtest/gtest.h>

namespace {

using namespace VeltoSDK::collector;

// A POST the library would send for a registered pixel and a supported event.
IncomingEvent goodEvent() {
    const char* body = R"({"et": 1, "it": 0, "st": 1, "os": "iOS 17", "devmake": "Apple",
        "ifatype": "IDFA", "conntype": "wifi"})";
    return {"POST", "Purchase", "px-1", {"application/json"}, {"application/json"}, body};
}

TEST(EventJudge, AnswersTheFirstFaultInOrder) {
    const Registry registry{{"px-1"}, standardEvents()};
    using Change = void (*)(IncomingEvent&);
    const std::pair<Change, std::optional<Rejection>> cases[] = {
        {[](IncomingEvent&) {}, std::nullopt},
        // Each case also breaks what is checked next, so checks in another order show.
        {[](IncomingEvent& e) { e.method = "GET", e.eventName.reset(); },
         Rejection{Reason::MissingRequiredField, "method"}},
        {[](IncomingEvent& e) { e.eventName.reset(), e.pixelId = "nope"; },
         Rejection{Reason::MissingRequiredField, "e"}},
        // The pixel id is checked before the event's support.
        {[](IncomingEvent& e) { e.pixelId = "nope", e.eventName = "Dance"; },
         Rejection{Reason::UnregisteredPixelId, "pi"}},
        {[](IncomingEvent& e) { e.pixelId.reset(); }, Rejection{Reason::UnregisteredPixelId, "pi"}},
        {[](IncomingEvent& e) { e.eventName = "Dance", e.contentType.clear(); },
         Rejection{Reason::UnsupportedEvent, "e"}},
        {[](IncomingEvent& e) { e.contentType.push_back("text/plain"), e.accept.clear(); },
         Rejection{Reason::MissingRequiredField, "Content-Type"}},
        {[](IncomingEvent& e) { e.accept = {"*/*"}, e.body = "{"; },
         Rejection{Reason::MissingRequiredField, "Accept"}},
        {[](IncomingEvent& e) { e.body = "{"; }, Rejection{Reason::MissingRequiredField, "body"}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        IncomingEvent event = goodEvent();
        cases[i].first(event);
        EXPECT_EQ(judge(event, registry).rejection, cases[i].second) << "case " << i;
    }
}

// With no pixel registered, any id that is not blank (by the collector's own judge) is taken.
TEST(EventJudge, TakesAnyNonBlankPixelIdWhenNoneIsRegistered) {
    const Registry open{{}, standardEvents()};
    IncomingEvent event = goodEvent();
    event.pixelId = "\xC0\xA0";  // not UTF-8, so not blank
    EXPECT_FALSE(judge(event, open).rejection);
    event.pixelId = " \xCC\x81";
    EXPECT_EQ(judge(event, open).rejection, (Rejection{Reason::UnregisteredPixelId, "pi"}));
}

}  // namespace
