// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace VeltoSDK::collector {

// Checks a parsed post body against the body format: a JSON object holding only the known
// keys, each of its JSON kind, with every always-present key there. Returns the members at
// fault (the unknown or mistyped keys in key order, then the missing ones), or "body" for a
// body that is not an object; none when the body passes.
std::vector<std::string> bodyFaults(const nlohmann::json& body);

}  // namespace VeltoSDK::collector
