#include "PostBody.hpp"

#include "../platform/BundleInfo.hpp"
#include "../platform/Services.hpp"
#include "VeltoSettings.hpp"

namespace VeltoSDK {

PostBody buildPostBody(const VeltoParams* eventParams) {
    PostBody body = PostBody::object();
    addEventFields(eventParams, body);
    // "et" is taken before the device and the network are examined.
    addTimeFields(body);
    addAppFields(body);
    addDeviceFields(body);
    return body;
}

PostBody& addTimeFields(PostBody& body) {
    VeltoSettings& settings = VeltoSettings::shared();
    body["et"] = VeltoSettings::currentTimeMillis();
    body["it"] = settings.init_time();
    body["st"] = settings.start_time();
    return body;
}

PostBody& addAppFields(PostBody& body) {
    platform::BundleInfo& bundle = platform::bundleInfo();
    if (std::optional<std::string> appId = bundle.mainBundleIdentifier()) {
        body["appid"] = std::move(*appId);
    } else if (body.is_object()) {
        body.erase("appid");
    }
    if (std::optional<std::string> version = bundle.libraryShortVersion()) {
        body["v"] = std::move(*version);
    }
    return body;
}

}  // namespace VeltoSDK
