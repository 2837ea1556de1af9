#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include "Rejection.hpp"

namespace VeltoSDK::collector {

// Checks a parsed post body against the body format: a JSON object holding only the known
// keys, each of its JSON kind, with every always-present key there. The first fault found
// names the key; a body that is not an object names "body".
std::optional<Rejection> validateBody(const nlohmann::json& body);

}  // namespace VeltoSDK::collector
