#include "platform/HttpRequest.hpp"

#include <algorithm>
#include <cctype>

namespace VeltoSDK::platform {
namespace {

// Header field names compare without regard to case.
bool sameField(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

void HttpRequest::addValue(std::string_view value, std::string_view field) {
    for (auto& [name, existing] : headers_) {
        if (sameField(name, field)) {
            existing.append(",").append(value);
            return;
        }
    }
    if (headers_.empty()) headers_.reserve(2);  // what a request carries: grown once, not per field
    headers_.emplace_back(field, value);
}

std::optional<std::string> HttpRequest::valueForHTTPHeaderField(std::string_view field) const {
    for (const auto& [name, value] : headers_) {
        if (sameField(name, field)) return value;
    }
    return std::nullopt;
}

}  // namespace VeltoSDK::platform
