// Fires requests with the process-wide HTTP client.
//   fire_helper exit <count> <linger-ms> <url>...  fires `count` requests per URL, lingers, and
//                                                  returns from main with transfers in flight
//   fire_helper wait <count> <linger-ms> <url>...  fires, waits for them, exits 0 when all
//                                                  answered 200
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/HttpClient.hpp"
#include "platform/Services.hpp"

namespace {

std::atomic<int> answered200{0};

void onDone(const std::optional<std::string>&, const VeltoSDK::platform::URLResponse* response,
            const VeltoSDK::platform::TransportError* error) {
    if (error)
        std::fprintf(stderr, "%s\n", error->debugDescription.c_str());
    if (response && response->statusCode == 200)
        ++answered200;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace VeltoSDK::platform;
    if (argc < 5)
        return 2;
    const std::string mode = argv[1];
    const int count = std::atoi(argv[2]);
    const int lingerMs = std::atoi(argv[3]);
    int fired = 0;
    for (int i = 0; i < count; ++i) {
        for (int u = 4; u < argc; ++u) {
            HttpRequest request(URL::fromString(argv[u]).value(),
                                CachePolicy::reloadIgnoringLocalCacheData, 30);
            request.setHttpMethod("POST");
            request.setHttpBody("{}");
            httpClient().dataTask(std::move(request), &onDone)->resume();
            ++fired;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
    if (mode == "exit")
        return 0;
    bool flushed = httpClient().flush(10);
    return flushed && answered200 == fired ? 0 : 1;
}
