// The C handle and the C++ class share the name VeltoParams in different scopes; one
// translation unit can use both, qualifying where a using-directive would make it ambiguous.
#include <VeltoSDK/velto.h>
#include <VeltoSDK/VeltoSDK.hpp>

#include <memory>
#include <string>

extern "C" int veltoMixedHeadersAgree(void) {
    using namespace VeltoSDK;
    std::unique_ptr<::VeltoParams, void (*)(::VeltoParams*)> handle(
        velto_params_initWithValue("5", nullptr, nullptr, nullptr, nullptr), velto_params_release);
    VeltoSDK::VeltoParams object(std::string("5"), std::nullopt, std::nullopt, std::nullopt,
                                 std::nullopt);

    char value[8];
    velto_params_value(handle.get(), value, sizeof value);
    return object.value() == value && VeltoEvent_LEAD == std::string(Event::LEAD);
}
