#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace VeltoSDK::platform {

// A URL that parsed strictly.
class URL {
public:
    // None when `text` is not a valid URL: blank, control characters, non-ASCII bytes,
    // any of " < > \ ^ ` { | }, or a % not followed by two hex digits.
    static std::optional<URL> fromString(std::string_view text);

    const std::string& absoluteString() const { return text_; }
    const std::string& scheme() const { return scheme_; }

private:
    URL(std::string text, std::string scheme)
        : text_(std::move(text)), scheme_(std::move(scheme)) {}
    std::string text_;
    std::string scheme_;
};

}  // namespace VeltoSDK::platform
