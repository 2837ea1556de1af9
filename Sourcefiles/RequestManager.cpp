#include "RequestManager.hpp"

namespace VeltoSDK {

RequestManager& RequestManager::shared() {
    static RequestManager* instance = new RequestManager;
    return *instance;
}

// Not wired to the HTTP client yet: no request is built or sent, so no event is accepted.
bool RequestManager::requestForVeltoUnit(std::string_view, const VeltoParams*) { return false; }

void RequestManager::handleCompletion(const std::optional<std::string>&,
                                      const platform::URLResponse*,
                                      const platform::TransportError*) {}

}  // namespace VeltoSDK
