#include <atomic>

#include "CurlHttpClient.hpp"
#include "Linux.hpp"

namespace VeltoSDK::platform::linux_os {

// Created on first use and never destroyed. A forked child makes a client of its own and never
// touches its parent's worker or handles.
HttpClient& httpClient() {
    static std::atomic<CurlHttpClient*> current{nullptr};
    CurlHttpClient* client = current.load(std::memory_order_acquire);
    while (!client || !client->belongsToThisProcess()) {
        auto* fresh = new CurlHttpClient;  // its worker starts at initialize or its first transfer
        if (current.compare_exchange_strong(client, fresh, std::memory_order_acq_rel)) {
            return *fresh;
        }
        delete fresh;  // another thread's client won; `client` now holds it
    }
    return *client;
}

}  // namespace VeltoSDK::platform::linux_os
