#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Rejection.hpp"

namespace VeltoSDK::collector {

// What the collector knows: the registered pixel ids (none means any non-blank id) and the
// supported event names.
struct Registry {
    std::set<std::string> pixelIds;
    std::set<std::string> events;
};

// The eight common event names, supported unless the registry is built otherwise.
const std::set<std::string>& standardEvents();

// One received request, reduced to what is checked.
struct IncomingEvent {
    std::string method;
    std::optional<std::string> eventName;  // query "e"
    std::optional<std::string> pixelId;    // query "pi"
    std::vector<std::string> contentType;  // every value the header arrived with
    std::vector<std::string> accept;
    std::string body;
};

struct Verdict {
    std::optional<nlohmann::json> body;  // the parsed body, when it is JSON at all
    std::optional<Rejection> rejection;  // none: the event is accepted
};

// Checks, in order: the method, the event name, the pixel id, the event's support, the two
// headers, then the body. The first fault decides.
Verdict judge(const IncomingEvent& event, const Registry& registry);

// Empty, or made only of Unicode White_Space code points (invalid UTF-8 is not blank).
bool isBlank(const std::string& text);

}  // namespace VeltoSDK::collector
