#include <gtest/gtest.h>

#include <vector>

#include "Blank.hpp"
#include "Sourcefiles/Blank.hpp"

namespace {

// The library and the collector each judge blank text on their own; both must follow the
// user-perceived characters and refuse malformed UTF-8.
TEST(Blank, LibraryAndCollectorJudgeEachCharacterByItsFirstCodePoint) {
    // Blank: ASCII white space, the ends of the TAB-to-CR range included; Unicode white space
    // beyond ASCII; a space and a combining mark, one character that starts with a space; CR LF,
    // one character. Not blank: other controls; information separators and the zero-width space,
    // which lack White_Space; a mark alone, or after a tab (which it does not join); then UTF-8
    // cut short, a continuation byte alone, overlong spaces in two and three bytes, a surrogate
    // and a code point past U+10FFFF.
    const std::pair<std::vector<const char*>, bool> cases[] = {
        {{"", " \t\n", "\v\f\r", "\u3000\u00A0\u2028\u2029\u0085", "  \u0301 ", "\r\n"}, true},
        {{"\b", "\x0E\x7F", " \x1C\x1F", "\u200B", " abc ", "\u0301", "\t\u0301", " \xC3", "\x80 ",
          "\xC0\xA0", "\xE0\x80\xA0", "\xED\xA0\x80", "\xF4\x90\x80\x80"},
         false}};
    for (const auto& [texts, blank] : cases)
        for (const char* text : texts) {
            EXPECT_EQ(VeltoSDK::isBlank(text), blank) << ::testing::PrintToString(text);
            EXPECT_EQ(VeltoSDK::collector::isBlank(text), blank) << ::testing::PrintToString(text);
        }
}

}  // namespace
