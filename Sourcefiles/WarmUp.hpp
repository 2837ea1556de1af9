#pragma once

namespace VeltoSDK {

// Starts the HTTP client's worker, which then does the library's one-time set-up: curl's and
// the TLS library's, the locale and zone data of the log's dates, and the route lookup's
// sockets. A thread that gets there first does the same work itself and gets the same results.
void startWarmUp();

}  // namespace VeltoSDK
