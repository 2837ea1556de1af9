#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpClient.hpp"

namespace VeltoSDK {

class VeltoParams;

// Sends each event and logs the server's verdict.
class RequestManager {
public:
    static RequestManager& shared();

    // True when a request was built and its transfer started.
    bool requestForVeltoUnit(std::string_view eventName, const VeltoParams* eventParams);

    // Classifies one answer and writes its one line.
    static void handleCompletion(const std::optional<std::string>& data,
                                 const platform::URLResponse* response,
                                 const platform::TransportError* error);

    RequestManager(const RequestManager&) = delete;
    RequestManager& operator=(const RequestManager&) = delete;

private:
    RequestManager() = default;
};

}  // namespace VeltoSDK
