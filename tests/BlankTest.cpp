#include <gtest/gtest.h>

#include "Sourcefiles/Blank.hpp"

namespace VeltoSDK {
namespace {

TEST(BlankTest, JudgesEachGraphemeClusterByItsFirstCodePoint) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {" \t\n", true},
        {"\v\f\r", true},  // the ends of the TAB-to-CR range
        {"\b", false},
        {"\x0E\x7F", false},
        {" \x1C\x1F", false},                      // information separators lack White_Space
        {"\u3000\u00A0\u2028\u2029\u0085", true},  // Unicode white space beyond ASCII
        {"  \u0301 ", true},  // a space and a combining mark are one cluster starting with a space
        {"\r\n", true},       // one cluster
        {" abc ", false},
        {"\u200B", false},    // zero-width space lacks White_Space
        {"\t\u0301", false},  // a tab does not join the mark, which then stands alone
        {" \xC3", false},     // truncated UTF-8
        {"\xC0\xA0", false},  // overlong encoding of a space
    };
    for (const auto& [text, blank] : cases) EXPECT_EQ(isBlank(text), blank) << text;
}

}  // namespace
}  // namespace VeltoSDK
