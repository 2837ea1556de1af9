#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace VeltoSDK {

class VeltoParams;

// The JSON object every event request carries; never holds JSON null.
using PostBody = nlohmann::json;

PostBody buildPostBody(const VeltoParams* eventParams);

// The four steps, in the order buildPostBody runs them.
PostBody& addEventFields(const VeltoParams* eventParams, PostBody& body);
PostBody& addTimeFields(PostBody& body);
PostBody& addAppFields(PostBody& body);
PostBody& addDeviceFields(PostBody& body);

std::string deviceModelIdentifier();
std::string advertisingIdentifierText();

}  // namespace VeltoSDK
