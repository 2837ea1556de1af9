#include "RequestBuilder.hpp"

#include <VeltoSDK/Velto.hpp>

#include "Log.hpp"
#include "LogText.hpp"
#include "PostBody.hpp"
#include "VeltoSettings.hpp"

namespace VeltoSDK {
namespace {
constexpr std::string_view kFile = "Sourcefiles/RequestBuilder";
constexpr std::string_view kContructHostURL = "contructHostURL(eventName:)";
constexpr std::string_view kBuildVeltoRequest = "buildVeltoRequest(eventName:eventParams:)";
constexpr double kTimeoutSeconds = 2000;
constexpr std::string_view kJSON = "application/json";
}  // namespace

std::string RequestBuilder::contructHostURL(std::string_view eventName) {
    std::string url = Velto::shared().baseURL();
    const std::string pixelId = VeltoSettings::shared().pixelId();
    url.reserve(url.size() + eventName.size() + pixelId.size() + 6);
    url.append("e=").append(eventName).append("&pi=").append(pixelId);
    Log::info("Velto Host URL " + LogText::withoutPassword(url), kFile, __LINE__, kContructHostURL);
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
        Log::error(std::string("Failed to build Velto Request post body: ") + e.what(), kFile,
                   __LINE__, kBuildVeltoRequest);
        return std::nullopt;
    }
    request.setHttpBody(std::move(bodyText));
    request.addValue(kJSON, "Content-Type");
    request.addValue(kJSON, "Accept");
    Log::info("Velto Request post body constructed", kFile, __LINE__, kBuildVeltoRequest);
    // Every text in the body was checked, so it always decodes.
    const std::string& body = request.httpBody();
    Log::debug(body.empty() ? std::string_view("JSON Request Data empty") : body, kFile, __LINE__,
               kBuildVeltoRequest);
    return request;
}

}  // namespace VeltoSDK
