#pragma once

#include <unicode/utf8.h>

#include <cstdint>
#include <string_view>

namespace VeltoSDK {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or truncation).
inline bool isValidUTF8(std::string_view bytes) {
    const auto* text = reinterpret_cast<const uint8_t*>(bytes.data());
    const int64_t length = static_cast<int64_t>(bytes.size());
    for (int64_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(text, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

}  // namespace VeltoSDK
