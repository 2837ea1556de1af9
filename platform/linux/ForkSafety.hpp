#pragma once

// What a forked child rebuilds, called from the library's fork handler in the child, while it
// is the only thread.
namespace VeltoSDK::platform::linux_os {

// A fresh main queue that starts its own thread, with the tasks the parent's had queued.
void resetMainQueueAfterFork();
// Defined with the HTTP client: the child's transfers go to a client of its own.
void resetHttpClientAfterFork();

}  // namespace VeltoSDK::platform::linux_os
