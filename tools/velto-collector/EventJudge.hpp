// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
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
    std::optional<nlohmann::json> body;   // the parsed body, when it is JSON at all
    std::vector<std::string> bodyFaults;  // the body's members at fault; none: it passes
    std::optional<Rejection> rejection;   // none: the event is accepted
};

// Checks, in order: the method, the event name, the pixel id, the event's support, the two
// headers, then the body. The first fault decides. The body is checked in any case, so that
// its faults can be shown beside an answer that another check decided.
Verdict judge(const IncomingEvent& event, const Registry& registry);

}  // namespace VeltoSDK::collector
