#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <VeltoSDK/Handlers.hpp>

#include "platform/HttpClient.hpp"

namespace VeltoSDK {

class VeltoParams;

// Sends each event and logs the server's verdict.
class RequestManager {
public:
    static RequestManager& shared();

    // True when a request was built and its transfer started.
    bool requestForVeltoUnit(std::string_view eventName, const VeltoParams* eventParams,
                             std::string_view pixelId);

    // Classifies the answer to the event `eventName`, writes its one line and then tells the
    // outcome handler.
    static void handleCompletion(std::string_view eventName, const std::optional<std::string>& data,
                                 const platform::URLResponse* response,
                                 const platform::TransportError* error);
    // Empty: none. Once it returns, the handler replaced is not called again.
    static void setOutcomeHandler(OutcomeHandler handler);

    RequestManager(const RequestManager&) = delete;
    RequestManager& operator=(const RequestManager&) = delete;

private:
    RequestManager() = default;
};

}  // namespace VeltoSDK
