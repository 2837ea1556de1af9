#include <gtest/gtest.h>

#include "Sourcefiles/Blank.hpp"

namespace VeltoSDK {
namespace {

TEST(BlankTest, EmptyAndWhiteSpaceOnlyTextsAreBlank) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank("   "));
    EXPECT_TRUE(isBlank("\t\n"));
    EXPECT_TRUE(isBlank("\u3000"));  // ideographic space
    EXPECT_TRUE(isBlank("\u00A0"));  // no-break space
    EXPECT_TRUE(isBlank("\u2028\u2029\u0085"));
}

TEST(BlankTest, AnyOtherCharacterMakesTheTextNotBlank) {
    EXPECT_FALSE(isBlank(" abc "));
    EXPECT_FALSE(isBlank("123"));
    EXPECT_FALSE(isBlank("\u200B"));  // zero-width space lacks White_Space
    EXPECT_FALSE(isBlank("  \u200B"));
    EXPECT_FALSE(isBlank("\u00E9"));
}

TEST(BlankTest, JudgesEachUserPerceivedCharacterByItsFirstCodePoint) {
    // A space followed by a combining mark is one cluster that starts with a space: blank.
    EXPECT_TRUE(isBlank(" \u0301"));
    EXPECT_TRUE(isBlank("  \u0301 "));
    // A tab does not join with the mark, which then stands alone and is not white space.
    EXPECT_FALSE(isBlank("\t\u0301"));
    // CR LF is one cluster.
    EXPECT_TRUE(isBlank("\r\n"));
}

TEST(BlankTest, InvalidUtf8IsNeverBlank) {
    EXPECT_FALSE(isBlank("\xFF"));
    EXPECT_FALSE(isBlank(" \xC3"));     // truncated sequence after a blank
    EXPECT_FALSE(isBlank("\xC0\xA0"));  // overlong encoding of a space
}

}  // namespace
}  // namespace VeltoSDK
