#include "Sourcefiles/RequestBuilder.hpp"

#include "Sourcefiles/Log.hpp"
#include "Sourcefiles/LogText.hpp"
#include "Sourcefiles/PostBody.hpp"
#include "Sourcefiles/VeltoSettings.hpp"

namespace VeltoSDK {
namespace {
constexpr Log::Site kContructHostURL{"Sourcefiles/RequestBuilder", "contructHostURL(eventName:)"};
constexpr Log::Site kBuildVeltoRequest{"Sourcefiles/RequestBuilder",
                                       "buildVeltoRequest(eventName:eventParams:)"};
constexpr double kTimeoutSeconds = 2000;
constexpr std::string_view kJSON = "application/json";
}  // namespace

std::string RequestBuilder::contructHostURL(std::string_view eventName) {
    const std::shared_ptr<const std::string> baseURL = VeltoSettings::currentBaseURL();
    std::shared_ptr<const std::string> current;
    const std::string_view pixelId =
        pixelId_ ? *pixelId_ : *(current = VeltoSettings::shared().currentPixelId());
    std::string url;
    url.reserve(baseURL->size() + eventName.size() + pixelId.size() + 6);
    url.append(*baseURL).append("e=").append(eventName).append("&pi=").append(pixelId);
    constexpr std::string_view kLabel = "Velto Host URL ";
    std::string message;
    message.reserve(kLabel.size() + url.size() + 3);  // a password may become "***"
    message += kLabel;
    LogText::appendWithoutPassword(message, url);
    Log::info(message, kContructHostURL, __LINE__);
    return url;
}

std::optional<platform::HttpRequest> RequestBuilder::buildVeltoRequest(
    std::string_view eventName, const VeltoParams* eventParams) {
    std::optional<platform::URL> url = platform::URL::fromString(contructHostURL(eventName));
    if (!url) return std::nullopt;
    platform::HttpRequest request(
        std::move(*url), platform::CachePolicy::reloadIgnoringLocalCacheData, kTimeoutSeconds);
    request.setHttpMethod("POST");

    std::string bodyText;
    try {
        bodyText = buildPostBody(eventParams);
    } catch (const PostBody::InvalidText& e) {
        Log::error(std::string("Failed to build Velto Request post body: ") + e.what(),
                   kBuildVeltoRequest, __LINE__);
        return std::nullopt;
    }
    request.setHttpBody(std::move(bodyText));
    request.addValue(kJSON, "Content-Type");
    request.addValue(kJSON, "Accept");
    Log::info("Velto Request post body constructed", kBuildVeltoRequest, __LINE__);
    // Every text in the body is UTF-8, repaired where it was not, so it always decodes.
    const std::string& body = request.httpBody();
    Log::debug(body.empty() ? std::string_view("JSON Request Data empty") : body,
               kBuildVeltoRequest, __LINE__);
    return request;
}

}  // namespace VeltoSDK
