#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/URL.hpp"

namespace VeltoSDK::platform {

enum class CachePolicy {
    useProtocolCachePolicy = 0,
    reloadIgnoringLocalCacheData = 1,
};

// One HTTP request, as a value.
class HttpRequest {
public:
    HttpRequest(URL url, CachePolicy cachePolicy, double timeoutInterval)
        : url_(std::move(url)), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval) {}

    const URL& url() const { return url_; }
    CachePolicy cachePolicy() const { return cachePolicy_; }
    // Seconds from the start of the transfer by which it has ended, answered or failed.
    double timeoutInterval() const { return timeoutInterval_; }

    const std::string& httpMethod() const { return httpMethod_; }
    void setHttpMethod(std::string method) { httpMethod_ = std::move(method); }

    const std::string& httpBody() const { return httpBody_; }
    void setHttpBody(std::string body) { httpBody_ = std::move(body); }

    // Appends to the field's value (joined by ","), or adds the field in order.
    void addValue(std::string_view value, std::string_view field);
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    const std::vector<std::pair<std::string, std::string>>& allHTTPHeaderFields() const {
        return headers_;
    }

private:
    URL url_;
    CachePolicy cachePolicy_;
    double timeoutInterval_;
    std::string httpMethod_ = "GET";
    std::string httpBody_;
    std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace VeltoSDK::platform
