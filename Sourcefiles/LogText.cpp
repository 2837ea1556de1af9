#include "Sourcefiles/LogText.hpp"

#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace VeltoSDK {
namespace {

bool isPlainAscii(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// Whether every byte is printable ASCII, eight bytes at a time: a byte below 0x20 borrows
// into its top bit when 0x20 is taken from it, and one of 0x7F or more has its top bit set
// once 1 is added.
bool isAllPlainAscii(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kTops = 0x8080808080808080;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if ((((word - 0x20 * kOnes) & ~word) | word | (word + kOnes)) & kTops) return false;
    }
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return isPlainAscii(static_cast<unsigned char>(c)); });
}

bool mustEscape(UChar32 c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void appendHex(std::string& out, std::string_view prefix, unsigned value, int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string LogText::escaped(std::string_view text, bool keepLineFeeds) {
    std::string out;
    appendEscaped(out, text, keepLineFeeds);
    return out;
}

void LogText::appendEscaped(std::string& out, std::string_view text, bool keepLineFeeds) {
    if (isAllPlainAscii(text)) {
        out += text;
        return;
    }
    out.reserve(out.size() + text.size() + 16);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    for (int32_t i = 0; i < length;) {
        // A run that goes out as it is takes one append: one per character would have each
        // wait for the size the one before stored.
        int32_t plain = i;
        while (plain < length &&
               (isPlainAscii(bytes[plain]) || (bytes[plain] == '\n' && keepLineFeeds))) {
            ++plain;
        }
        if (plain > i) {
            out.append(text.substr(static_cast<size_t>(i), static_cast<size_t>(plain - i)));
            i = plain;
            continue;
        }
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {  // one byte that is not UTF-8; the next is looked at afresh
            i = start + 1;
            appendHex(out, "\\x", bytes[start], 2);
        } else if (!mustEscape(c) || (c == '\n' && keepLineFeeds)) {
            out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            appendHex(out, "\\u", static_cast<unsigned>(c), 4);
        }
    }
}

std::string LogText::withoutPassword(std::string_view url) {
    std::string masked;
    appendWithoutPassword(masked, url);
    return masked;
}

void LogText::appendWithoutPassword(std::string& out, std::string_view url) {
    size_t scheme = url.find("://");
    size_t authority = scheme == std::string_view::npos ? 0 : scheme + 3;
    std::string_view rest = url.substr(authority);
    // The authority ends at the first "/", "?" or "#" (a loop: find_first_of searches the
    // three characters once for every character of the URL).
    size_t end = 0;
    while (end < rest.size() && rest[end] != '/' && rest[end] != '?' && rest[end] != '#') ++end;
    rest = rest.substr(0, end);
    size_t at = rest.rfind('@');
    size_t colon = rest.substr(0, at == std::string_view::npos ? 0 : at).find(':');
    if (at == std::string_view::npos || colon == std::string_view::npos) {
        out += url;
        return;
    }
    out += url.substr(0, authority + colon + 1);
    out += "***";
    out += url.substr(authority + at);
}

}  // namespace VeltoSDK
