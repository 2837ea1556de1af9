#include "WarmUp.hpp"

#include <netinet/in.h>

#include <cstdint>

#include "../platform/HttpClient.hpp"
#include "../platform/LocaleInfo.hpp"
#include "../platform/NetworkReachability.hpp"
#include "../platform/Services.hpp"
#include "Log.hpp"

namespace VeltoSDK {
namespace {

// On the worker: nothing here is announced or logged.
void warmUp() {
    Log::warmUp();
    (void)platform::localeInfo().languageCode();
    sockaddr_in zeroAddress{};
    zeroAddress.sin_family = AF_INET;
    if (auto route = platform::networkReachability().createWithAddress(zeroAddress)) {
        std::uint32_t flags = 0;
        (void)route->getFlags(flags);
    }
}

}  // namespace

void startWarmUp() { platform::httpClient().start(warmUp); }

}  // namespace VeltoSDK
