#include <atomic>

#include "platform/linux/CurlHttpClient.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// The calling process's client, created on first use and never destroyed. A forked child makes
// a client of its own and never touches its parent's worker or handles.
CurlHttpClient& processClient() {
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

// What the platform holds: each call goes to the client of the process that makes it.
class ProcessHttpClient final : public HttpClient {
public:
    std::shared_ptr<DataTask> dataTask(HttpRequest request, CompletionHandler completion) override {
        return processClient().dataTask(std::move(request), std::move(completion));
    }
    bool flush(double timeoutSeconds) override { return processClient().flush(timeoutSeconds); }
    void start() override { processClient().start(); }
};

}  // namespace

HttpClient& httpClient() {
    static ProcessHttpClient* instance = new ProcessHttpClient;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
