#pragma once

#include <unicode/utf8.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace VeltoSDK {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or truncation).
inline bool isValidUTF8(std::string_view bytes) {
    const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
    const int64_t length = static_cast<int64_t>(bytes.size());
    // Most texts are ASCII: eight bytes at a time while none has its top bit set.
    int64_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, sizeof word);
        if (word & 0x8080808080808080) break;
    }
    while (i < length) {
        UChar32 c;
        U8_NEXT(text, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

// `bytes` with U+FFFD in place of each ill-formed sequence (its longest start that could have
// begun a character, or else one byte), so that a text from the host always goes out.
inline std::string repairedUTF8(std::string_view bytes) {
    const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
    const int64_t length = static_cast<int64_t>(bytes.size());
    std::string repaired;
    repaired.reserve(bytes.size() + 8);
    for (int64_t i = 0; i < length;) {
        const int64_t start = i;
        UChar32 c;
        U8_NEXT(text, i, length, c);
        if (c < 0) {
            repaired += "\xEF\xBF\xBD";
        } else {
            repaired.append(
                bytes.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
        }
    }
    return repaired;
}

}  // namespace VeltoSDK
