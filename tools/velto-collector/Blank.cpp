// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "Blank.hpp"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace VeltoSDK::collector {
namespace {

// The code points of `text`; none unless it is well-formed UTF-8: each code point in its
// shortest form, no surrogate, nothing past U+10FFFF.
std::optional<icu::UnicodeString> decodeUTF8(std::string_view text) {
    icu::UnicodeString decoded;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[pos]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || text.size() - pos < length) return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto continuation = static_cast<std::uint8_t>(text[pos + i]);
            if ((continuation >> 6) != 0x2) return std::nullopt;
            c = (c << 6) | (continuation & 0x3F);
        }
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kShortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        decoded.append(static_cast<UChar32>(c));
        pos += length;
    }
    return decoded;
}

}  // namespace

bool isBlank(std::string_view text) {
    const auto decoded = decodeUTF8(text);
    if (!decoded) return false;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return false;
    characters->setText(*decoded);
    for (int32_t start = characters->first();
         start != icu::BreakIterator::DONE && start < decoded->length();
         start = characters->next()) {
        if (!u_hasBinaryProperty(decoded->char32At(start), UCHAR_WHITE_SPACE)) return false;
    }
    return true;
}

}  // namespace VeltoSDK::collector
