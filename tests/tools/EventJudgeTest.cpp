#include "EventJudge.hpp"

#include <functional>

#include <gtest/gtest.h>

#include "WorkedExample.hpp"

namespace {

using namespace VeltoSDK::collector;

// The checks before the body, and their order.
TEST(EventJudge, RefusesWhatTheLibraryWouldNotSendInOrder) {
    const Registry registry{{"px-1"}, standardEvents()};
    const IncomingEvent good{"POST",
                             "Purchase",
                             "px-1",
                             {"application/json"},
                             {"application/json"},
                             workedExampleBody().dump(4)};
    Verdict accepted = judge(good, registry);
    EXPECT_EQ(accepted.rejection, std::nullopt);
    EXPECT_EQ(accepted.body, workedExampleBody());

    const Rejection unregistered{Reason::UnregisteredPixelId, "pi"};
    const Rejection unsupported{Reason::UnsupportedEvent, "e"};
    auto missing = [](const char* field) { return Rejection{Reason::MissingRequiredField, field}; };
    const std::pair<std::function<void(IncomingEvent&)>, Rejection> cases[] = {
        {[](auto& e) {
             e.eventName = "";
             e.pixelId = "unknown";
         },
         missing("e")},                                       // e comes first
        {[](auto& e) { e.pixelId = "PX-1"; }, unregistered},  // ids compare exactly
        {[](auto& e) { e.pixelId = "\u3000 "; }, unregistered},
        {[](auto& e) {
             e.pixelId.reset();
             e.body = "{";
         },
         unregistered},  // before the body
        {[](auto& e) { e.eventName = "purchase"; }, unsupported},
        {[](auto& e) { e.method = "GET"; }, missing("method")},
        {[](auto& e) { e.contentType = {"application/json; charset=utf-8"}; },
         missing("Content-Type")},
        {[](auto& e) {
             e.accept = {"application/json", "application/json"};
         },
         missing("Accept")},
        {[](auto& e) { e.accept = {}; }, missing("Accept")},
        {[](auto& e) { e.body = "{\"et\": 1,"; }, missing("body")},
    };
    for (const auto& [change, rejection] : cases) {
        IncomingEvent event = good;
        change(event);
        EXPECT_EQ(judge(event, registry).rejection, rejection) << rejection.field;
    }
    IncomingEvent anyId = good;  // with no registered ids, any non-blank one
    anyId.pixelId = "any-id-at-all";
    EXPECT_EQ(judge(anyId, {{}, standardEvents()}).rejection, std::nullopt);
}

}  // namespace
