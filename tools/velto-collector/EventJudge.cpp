// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "EventJudge.hpp"

#include "Blank.hpp"
#include "BodyValidator.hpp"

namespace VeltoSDK::collector {
namespace {

constexpr std::string_view kJson = "application/json";

bool isSoleJson(const std::vector<std::string>& values) {
    return values.size() == 1 && values.front() == kJson;
}

Rejection fault(Reason reason, std::string field) { return {reason, std::move(field)}; }

}  // namespace

const std::set<std::string>& standardEvents() {
    static const std::set<std::string> names{
        "PageView",         "LandingPage",    "ItemView", "AddToCart",
        "InitiateCheckout", "AddPaymentInfo", "Purchase", "Lead"};
    return names;
}

Verdict judge(const IncomingEvent& event, const Registry& registry) {
    Verdict verdict;
    verdict.body = nlohmann::json::parse(event.body, nullptr, /*allow_exceptions=*/false);
    if (verdict.body->is_discarded()) {
        verdict.body.reset();
    }
    verdict.bodyFaults =
        verdict.body ? bodyFaults(*verdict.body) : std::vector<std::string>{"body"};

    if (event.method != "POST") {
        verdict.rejection = fault(Reason::MissingRequiredField, "method");
    } else if (!event.eventName || event.eventName->empty()) {
        verdict.rejection = fault(Reason::MissingRequiredField, "e");
    } else if (!event.pixelId || isBlank(*event.pixelId) ||
               (!registry.pixelIds.empty() && !registry.pixelIds.contains(*event.pixelId))) {
        verdict.rejection = fault(Reason::UnregisteredPixelId, "pi");
    } else if (!registry.events.contains(*event.eventName)) {
        verdict.rejection = fault(Reason::UnsupportedEvent, "e");
    } else if (!isSoleJson(event.contentType)) {
        verdict.rejection = fault(Reason::MissingRequiredField, "Content-Type");
    } else if (!isSoleJson(event.accept)) {
        verdict.rejection = fault(Reason::MissingRequiredField, "Accept");
    } else if (!verdict.bodyFaults.empty()) {
        verdict.rejection = fault(Reason::MissingRequiredField, verdict.bodyFaults.front());
    }
    return verdict;
}

}  // namespace VeltoSDK::collector
