#include "Sourcefiles/Blank.hpp"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

#include "Sourcefiles/UTF8.hpp"

namespace VeltoSDK {
namespace {

bool isWhiteSpace(UChar32 c) { return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE); }

// Making a break iterator is costly, and one instance must not be shared across threads.
icu::BreakIterator* graphemeIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return iterator.get();
}

}  // namespace

bool isBlank(std::string_view text) {
    if (text.empty()) return true;
    // ASCII needs no Unicode data: each character is a cluster of its own (CR LF is one, led by
    // a space character), and the only White_Space code points below 128 are TAB to CR and
    // SPACE. Any other byte sends the text down the general path.
    bool allSpace = true;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            allSpace = false;
            break;
        }
        if (byte != ' ' && (byte < '\t' || byte > '\r')) return false;
    }
    if (allSpace) return true;
    if (!isValidUTF8(text)) return false;

    // The first cluster starts with the text's first code point: most ids end the test here.
    UChar32 first;
    int32_t offset = 0;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), offset,
            static_cast<int32_t>(text.size()), first);
    if (!isWhiteSpace(first)) return false;

    icu::BreakIterator* iterator = graphemeIterator();
    if (iterator == nullptr) return false;
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status)) return false;
    iterator->setText(utext, status);
    bool blank = U_SUCCESS(status);
    for (int32_t start = iterator->first(); blank && start != icu::BreakIterator::DONE;
         start = iterator->next()) {
        if (static_cast<size_t>(start) >= text.size()) break;
        UChar32 c;
        U8_GET(reinterpret_cast<const uint8_t*>(text.data()), 0, start,
               static_cast<int32_t>(text.size()), c);
        blank = isWhiteSpace(c);
    }
    iterator->setText(icu::UnicodeString());  // drop the reference to `utext` before closing it
    utext_close(utext);
    return blank;
}

}  // namespace VeltoSDK
