#pragma once

#include <string>
#include <string_view>

namespace VeltoSDK::collector {

// The three reasons the pixel parser gives when it refuses an event.
enum class Reason { UnregisteredPixelId, UnsupportedEvent, MissingRequiredField };

std::string_view reasonCode(Reason reason);

struct Rejection {
    Reason reason;
    std::string field;  // the query key, header, body key or "method" at fault

    bool operator==(const Rejection&) const = default;
};

// The text of the 400 answer, e.g. Failed to parse pixel: UNREGISTERED_PIXEL_ID error_string:"pi"
std::string responseBody(const Rejection& rejection);

}  // namespace VeltoSDK::collector
