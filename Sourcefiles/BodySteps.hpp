#pragma once

#include <string>

#include "Sourcefiles/PostBody.hpp"

namespace VeltoSDK {

// The four steps that fill an event's body, in the order buildPostBody runs them.
void addEventFields(const VeltoParams* eventParams, PostBody& body);
void addTimeFields(PostBody& body);
void addAppFields(PostBody& body);
void addDeviceFields(PostBody& body);

// The simulator's model, or else the machine name without control characters at its ends.
std::string deviceModelIdentifier();

}  // namespace VeltoSDK
