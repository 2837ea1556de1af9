// The C interface: a thin translation onto the C++ classes. No exception may cross into C, so
// every function catches at the boundary; what each then returns is stated in velto.h
// (a getter reads "", a setter leaves things unchanged, a constructor gives NULL).

#include <VeltoSDK/velto.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include <VeltoSDK/Event.hpp>
#include <VeltoSDK/HostInfo.hpp>
#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include "Sourcefiles/PostBody.hpp"

// The C handle: the C++ object and its reference count. Global, as the C declaration is.
struct VeltoParams {
    VeltoSDK::VeltoParams object;
    std::atomic<std::size_t> referenceCount{1};
};

namespace {

using VeltoSDK::HostInfo;
using VeltoSDK::Velto;

std::string text(const char* value) { return value ? std::string(value) : std::string(); }

std::optional<std::string> optionalText(const char* value) {
    return value ? std::optional<std::string>(value) : std::nullopt;
}

size_t copyOut(std::string_view text, char* buffer, size_t size) {
    if (buffer && size > 0) {
        size_t count = std::min(text.size(), size - 1);
        if (count > 0) std::memcpy(buffer, text.data(), count);  // data() may be null when empty
        buffer[count] = '\0';
    }
    return text.size();
}

// Runs `body`; on any exception returns `fallback` instead.
template <typename Result, typename Body>
Result guarded(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

// The buffer gets "" first, so that a failed read leaves it reading as "".
size_t readProperty(const VeltoParams* params, char* buffer, size_t size,
                    std::string (VeltoSDK::VeltoParams::*getter)() const) noexcept {
    size_t empty = copyOut({}, buffer, size);
    if (!params) return empty;
    return guarded(empty, [&] { return copyOut((params->object.*getter)(), buffer, size); });
}

void writeProperty(VeltoParams* params, const char* value,
                   void (VeltoSDK::VeltoParams::*setter)(std::string)) noexcept {
    if (!params) return;
    guarded([&] { (params->object.*setter)(text(value)); });
}

// The C enumerations are the C++ ones by value.
static_assert(VELTO_LOG_DEBUG == int(VeltoSDK::LogLevel::debug) &&
              VELTO_LOG_INFO == int(VeltoSDK::LogLevel::info) &&
              VELTO_LOG_ERROR == int(VeltoSDK::LogLevel::error) &&
              VELTO_LOG_OFF == int(VeltoSDK::LogLevel::off));
static_assert(VELTO_OUTCOME_ACCEPTED == int(VeltoSDK::OutcomeKind::accepted) &&
              VELTO_OUTCOME_REFUSED == int(VeltoSDK::OutcomeKind::refused) &&
              VELTO_OUTCOME_TRANSPORT_ERROR == int(VeltoSDK::OutcomeKind::transportError) &&
              VELTO_OUTCOME_NOT_HTTP == int(VeltoSDK::OutcomeKind::notHTTP));
static_assert(VELTO_REFUSAL_NONE == int(VeltoSDK::Refusal::none) &&
              VELTO_REFUSAL_NO_BODY == int(VeltoSDK::Refusal::noBody) &&
              VELTO_REFUSAL_UNRECOGNISED_BODY == int(VeltoSDK::Refusal::unrecognisedBody) &&
              VELTO_REFUSAL_UNREGISTERED_PIXEL_ID == int(VeltoSDK::Refusal::unregisteredPixelId) &&
              VELTO_REFUSAL_EVENT_FIELD_MISSING == int(VeltoSDK::Refusal::eventFieldMissing) &&
              VELTO_REFUSAL_UNSUPPORTED_EVENT == int(VeltoSDK::Refusal::unsupportedEvent) &&
              VELTO_REFUSAL_REQUIRED_FIELD_MISSING == int(VeltoSDK::Refusal::requiredFieldMissing));

}  // namespace

extern "C" {

const double VeltoSDKVersionNumber = 1.0;
const unsigned char VeltoSDKVersionString[] = "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1\n";

const char* velto_version(void) { return VELTOSDK_VERSION_STRING; }

const char* const VeltoEvent_PAGE_VIEW = VeltoSDK::Event::PAGE_VIEW;
const char* const VeltoEvent_LANDING_PAGE = VeltoSDK::Event::LANDING_PAGE;
const char* const VeltoEvent_ITEM_VIEW = VeltoSDK::Event::ITEM_VIEW;
const char* const VeltoEvent_ADD_TO_CART = VeltoSDK::Event::ADD_TO_CART;
const char* const VeltoEvent_INITIATE_CHECKOUT = VeltoSDK::Event::INITIATE_CHECKOUT;
const char* const VeltoEvent_ADD_PAYMENT_INFO = VeltoSDK::Event::ADD_PAYMENT_INFO;
const char* const VeltoEvent_PURCHASE = VeltoSDK::Event::PURCHASE;
const char* const VeltoEvent_LEAD = VeltoSDK::Event::LEAD;

void velto_initialize(const char* pixelId) {
    guarded([&] { Velto::initialize(pixelId ? pixelId : ""); });
}

bool velto_fireEvent(const char* eventName, const VeltoParams* eventParams) {
    return guarded(false, [&] {
        return Velto::fireEvent(eventName ? eventName : "",
                                eventParams ? &eventParams->object : nullptr);
    });
}

size_t velto_baseURL(char* buffer, size_t size) {
    size_t empty = copyOut({}, buffer, size);
    return guarded(empty, [&] { return copyOut(Velto::shared().baseURL(), buffer, size); });
}

void velto_setBaseURL(const char* baseURL) {
    guarded([&] { Velto::shared().setBaseURL(text(baseURL)); });
}

bool velto_debugMode(void) {
    return guarded(false, [] { return Velto::shared().debugMode(); });
}

void velto_setDebugMode(bool debugMode) {
    guarded([&] { Velto::shared().setDebugMode(debugMode); });
}

bool velto_flush(double timeoutSeconds) {
    return guarded(false, [&] { return Velto::flush(timeoutSeconds); });
}

void velto_setLogHandler(VeltoLogHandler handler, void* context) {
    guarded([&] {
        if (!handler) return Velto::setLogHandler(nullptr);
        Velto::setLogHandler([handler, context](VeltoSDK::LogLevel level, std::string_view line) {
            std::string text(line);  // the NUL the C side expects
            handler(context, static_cast<VeltoLogLevel>(level), text.c_str(), text.size());
        });
    });
}

void velto_setLogLevel(VeltoLogLevel level) {
    guarded([&] { Velto::setLogLevel(static_cast<VeltoSDK::LogLevel>(level)); });
}

VeltoLogLevel velto_logLevel(void) { return static_cast<VeltoLogLevel>(Velto::logLevel()); }

void velto_setOutcomeHandler(VeltoOutcomeHandler handler, void* context) {
    guarded([&] {
        if (!handler) return Velto::setOutcomeHandler(nullptr);
        Velto::setOutcomeHandler([handler, context](const VeltoSDK::EventOutcome& outcome) {
            std::string eventName(outcome.eventName), message(outcome.message);
            const VeltoOutcome copy{eventName.c_str(), static_cast<VeltoOutcomeKind>(outcome.kind),
                                    static_cast<VeltoRefusal>(outcome.refusal), outcome.statusCode,
                                    message.c_str()};
            handler(context, &copy);
        });
    });
}

VeltoParams* velto_params_init(void) { return new (std::nothrow) VeltoParams; }

VeltoParams* velto_params_initWithValue(const char* value, const char* currency, const char* itemId,
                                        const char* itemType, const char* itemName) {
    return guarded(static_cast<VeltoParams*>(nullptr), [&] {
        return new VeltoParams{{optionalText(value), optionalText(currency), optionalText(itemId),
                                optionalText(itemType), optionalText(itemName)}};
    });
}

VeltoParams* velto_params_retain(VeltoParams* params) {
    if (params) params->referenceCount.fetch_add(1, std::memory_order_relaxed);
    return params;
}

void velto_params_release(VeltoParams* params) {
    // acq_rel: the thread that frees must see every other holder's writes to the object.
    if (params && params->referenceCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete params;
    }
}

size_t velto_params_value(const VeltoParams* params, char* buffer, size_t size) {
    return readProperty(params, buffer, size, &VeltoSDK::VeltoParams::value);
}
size_t velto_params_currency(const VeltoParams* params, char* buffer, size_t size) {
    return readProperty(params, buffer, size, &VeltoSDK::VeltoParams::currency);
}
size_t velto_params_itemId(const VeltoParams* params, char* buffer, size_t size) {
    return readProperty(params, buffer, size, &VeltoSDK::VeltoParams::itemId);
}
size_t velto_params_itemType(const VeltoParams* params, char* buffer, size_t size) {
    return readProperty(params, buffer, size, &VeltoSDK::VeltoParams::itemType);
}
size_t velto_params_itemName(const VeltoParams* params, char* buffer, size_t size) {
    return readProperty(params, buffer, size, &VeltoSDK::VeltoParams::itemName);
}

void velto_params_setValue(VeltoParams* params, const char* value) {
    writeProperty(params, value, &VeltoSDK::VeltoParams::setValue);
}
void velto_params_setCurrency(VeltoParams* params, const char* currency) {
    writeProperty(params, currency, &VeltoSDK::VeltoParams::setCurrency);
}
void velto_params_setItemId(VeltoParams* params, const char* itemId) {
    writeProperty(params, itemId, &VeltoSDK::VeltoParams::setItemId);
}
void velto_params_setItemType(VeltoParams* params, const char* itemType) {
    writeProperty(params, itemType, &VeltoSDK::VeltoParams::setItemType);
}
void velto_params_setItemName(VeltoParams* params, const char* itemName) {
    writeProperty(params, itemName, &VeltoSDK::VeltoParams::setItemName);
}

void velto_params_put(VeltoParams* params, const char* key, const char* value) {
    if (!params) return;
    guarded([&] { params->object.put(text(key), text(value)); });
}

char* velto_params_dictionaryJSON(const VeltoParams* params) {
    if (!params) return nullptr;
    return guarded(static_cast<char*>(nullptr), [&] {
        std::string json = VeltoSDK::compactJSON([params](VeltoSDK::PostBody& object) {
            for (const auto& [key, value] : params->object.veltoParamsDictionary()) {
                object.addText(key, value);
            }
        });
        auto* copy = static_cast<char*>(std::malloc(json.size() + 1));
        if (copy) std::memcpy(copy, json.c_str(), json.size() + 1);
        return copy;
    });
}

void velto_free(void* pointer) { std::free(pointer); }

void velto_platform_setMainBundleIdentifier(const char* identifier) {
    guarded([&] { HostInfo::setMainBundleIdentifier(optionalText(identifier)); });
}

void velto_platform_setSystemVersion(const char* version) {
    guarded([&] { HostInfo::setSystemVersion(optionalText(version)); });
}

void velto_platform_setAdvertisingIdentifier(const char* uuidText) {
    guarded([&] { HostInfo::setAdvertisingIdentifier(optionalText(uuidText)); });
}

void velto_platform_setAdvertisingTrackingEnabled(bool enabled) {
    guarded([&] { HostInfo::setAdvertisingTrackingEnabled(enabled); });
}

void velto_platform_setTrackingAuthorizationStatus(int status) {
    guarded([&] { HostInfo::setTrackingAuthorizationStatus(status); });
}

void velto_platform_setCarrier(const char* name, const char* mobileCountryCode,
                               const char* mobileNetworkCode) {
    guarded([&] {
        HostInfo::setCarrier(HostInfo::Carrier{optionalText(name), optionalText(mobileCountryCode),
                                               optionalText(mobileNetworkCode)});
    });
}

void velto_platform_clearCarrier(void) {
    guarded([&] { HostInfo::setCarrier(std::nullopt); });
}

}  // extern "C"
