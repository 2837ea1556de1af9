#include "platform/URL.hpp"

#include <string_view>

#include "platform/linux/CurlUrl.hpp"

namespace VeltoSDK::platform {
namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// libcurl is lenient about characters a URL may not hold (it percent-encodes or passes them
// on), so those are refused here before it sees the text.
bool hasOnlyUrlCharacters(std::string_view text) {
    constexpr std::string_view kRefused = " \"<>\\^`{|}";
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte >= 0x7F) return false;  // control characters, non-ASCII
        if (kRefused.find(text[i]) != std::string_view::npos) return false;
        if (text[i] == '%' &&
            (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
            return false;
        }
    }
    return true;
}

// Events mostly repeat their URL, so each thread keeps the last one that parsed. A thread's
// later destructors may still parse: once this is destroyed, nothing is kept, since nothing
// would free it.
struct LastParsed {
    std::optional<URL> url;
    bool gone = false;
    ~LastParsed() {
        url.reset();
        gone = true;
    }
};

}  // namespace

std::optional<URL> URL::fromString(std::string_view text) {
    thread_local LastParsed last;
    if (last.url && last.url->text_ == text) return last.url;
    if (text.empty() || !hasOnlyUrlCharacters(text)) return std::nullopt;

    CurlUrl handle(curl_url());
    if (!handle) return std::nullopt;
    std::string owned(text);
    // Any scheme parses: the transport answers a non-HTTP URL with a non-HTTP response.
    if (curl_url_set(handle.get(), CURLUPART_URL, owned.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return std::nullopt;
    }
    char* scheme = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return std::nullopt;
    std::string schemeText(scheme);
    curl_free(scheme);
    URL parsed(std::move(owned), std::move(schemeText));
    if (!last.gone) last.url = parsed;
    return parsed;
}

}  // namespace VeltoSDK::platform
