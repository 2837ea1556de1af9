#pragma once

namespace VeltoSDK::platform {
class HttpClient;
}

// What the Linux files need of each other.
namespace VeltoSDK::platform::linux_os {

// The client of the calling process (a forked child gets one of its own).
HttpClient& httpClient();

// Called on a thread of the library's own that blocks every signal until it ends: standard
// output then leaves its signal mask alone.
void noteSignalsBlockedForGood();

}  // namespace VeltoSDK::platform::linux_os
