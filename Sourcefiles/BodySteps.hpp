#pragma once

#include <string>

#include "Sourcefiles/PostBody.hpp"

namespace VeltoSDK {

struct HostValues;

// The four steps that fill an event's body, in the order buildPostBody runs them. The last two
// share one reading of the host's values.
void addEventFields(const VeltoParams* eventParams, PostBody& body);
void addTimeFields(PostBody& body);
void addAppFields(PostBody& body, const HostValues& host);
void addDeviceFieldsFor(PostBody& body, const HostValues& host);
// The device step alone, with the host's values as they are now.
void addDeviceFields(PostBody& body);

// The simulator's model, or else the machine name without control characters at its ends.
std::string deviceModelIdentifier();

}  // namespace VeltoSDK
