// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "Rejection.hpp"

namespace VeltoSDK::collector {

std::string_view reasonCode(Reason reason) {
    switch (reason) {
        case Reason::UnregisteredPixelId:
            return "UNREGISTERED_PIXEL_ID";
        case Reason::UnsupportedEvent:
            return "PIXEL_UNSUPPORTED_EVENT";
        case Reason::MissingRequiredField:
            return "PIXEL_MISSING_REQUIRED_FIELD";
    }
    return "";
}

std::string responseBody(const Rejection& rejection) {
    std::string body = "Failed to parse pixel: ";
    body += reasonCode(rejection.reason);
    body += " error_string:\"";
    body += rejection.field;
    body += '"';
    return body;
}

}  // namespace VeltoSDK::collector
