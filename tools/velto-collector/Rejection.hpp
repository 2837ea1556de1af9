// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
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
