#include <gtest/gtest.h>

#include "Blank.hpp"
#include "Sourcefiles/Blank.hpp"

namespace {

// The library and the collector each judge blank text on their own; both must follow the
// user-perceived characters and refuse malformed UTF-8.
TEST(Blank, LibraryAndCollectorJudgeEachCharacterByItsFirstCodePoint) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {" \t\n", true},
        {"\v\f\r", true},  // the ends of the TAB-to-CR range
        {"\b", false},
        {"\x0E\x7F", false},
        {" \x1C\x1F", false},                      // information separators lack White_Space
        {"\u3000\u00A0\u2028\u2029\u0085", true},  // Unicode white space beyond ASCII
        {"  \u0301 ",
         true},             // a space and a combining mark are one character starting with a space
        {"\u0301", false},  // a mark alone is not
        {"\r\n", true},     // one character
        {" abc ", false},
        {"\u200B", false},            // zero-width space lacks White_Space
        {"\t\u0301", false},          // a tab does not join the mark, which then stands alone
        {" \xC3", false},             // cut short
        {"\x80 ", false},             // a continuation byte alone
        {"\xC0\xA0", false},          // overlong space
        {"\xE0\x80\xA0", false},      // overlong space, three bytes
        {"\xED\xA0\x80", false},      // a surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
    };
    for (const auto& [text, blank] : cases) {
        EXPECT_EQ(VeltoSDK::isBlank(text), blank) << ::testing::PrintToString(text);
        EXPECT_EQ(VeltoSDK::collector::isBlank(text), blank) << ::testing::PrintToString(text);
    }
}

}  // namespace
