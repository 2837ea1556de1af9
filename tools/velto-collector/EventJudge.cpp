#include "EventJudge.hpp"

#include <cstdint>

#include "BodyValidator.hpp"

namespace VeltoSDK::collector {
namespace {

constexpr std::string_view kJson = "application/json";

bool isWhiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// Decodes one UTF-8 sequence at `pos`; nullopt when malformed.
std::optional<char32_t> nextCodePoint(const std::string& text, std::size_t& pos) {
    auto lead = static_cast<std::uint8_t>(text[pos]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || pos + length > text.size()) {
        return std::nullopt;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        auto continuation = static_cast<std::uint8_t>(text[pos + i]);
        if ((continuation >> 6) != 0x2) {
            return std::nullopt;
        }
        c = (c << 6) | (continuation & 0x3F);
    }
    pos += length;
    return c;
}

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

bool isBlank(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto c = nextCodePoint(text, pos);
        if (!c || !isWhiteSpace(*c)) {
            return false;
        }
    }
    return true;
}

Verdict judge(const IncomingEvent& event, const Registry& registry) {
    Verdict verdict;
    verdict.body = nlohmann::json::parse(event.body, nullptr, /*allow_exceptions=*/false);
    if (verdict.body->is_discarded()) {
        verdict.body.reset();
    }

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
    } else {
        verdict.rejection = validateBody(verdict.body.value_or(nlohmann::json()));
    }
    return verdict;
}

}  // namespace VeltoSDK::collector
