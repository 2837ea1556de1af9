#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpRequest.hpp"

namespace VeltoSDK {

class VeltoParams;

// Turns one event into one complete POST request.
class RequestBuilder {
public:
    // None when the URL is invalid or the body cannot be serialised; the reason is logged.
    std::optional<platform::HttpRequest> buildVeltoRequest(std::string_view eventName,
                                                           const VeltoParams* eventParams);
    // baseURL + "e=" + event name + "&pi=" + pixel id, nothing escaped.
    std::string contructHostURL(std::string_view eventName);
};

}  // namespace VeltoSDK
