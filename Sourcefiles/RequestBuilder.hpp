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
    // With the pixel id as the settings hold it when the URL is made.
    RequestBuilder() = default;
    // With the pixel id the caller has read for this event; it must outlive the builder.
    explicit RequestBuilder(std::string_view pixelId) : pixelId_(pixelId) {}

    // None when the URL is invalid or the body cannot be serialised; the reason is logged.
    std::optional<platform::HttpRequest> buildVeltoRequest(std::string_view eventName,
                                                           const VeltoParams* eventParams);
    // baseURL + "e=" + event name + "&pi=" + pixel id, nothing escaped.
    std::string contructHostURL(std::string_view eventName);

private:
    std::optional<std::string_view> pixelId_;
};

}  // namespace VeltoSDK
