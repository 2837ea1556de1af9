#include <gtest/gtest.h>

#include <string>

#include "platform/URL.hpp"

namespace VeltoSDK::platform {
namespace {

bool parses(std::string_view text) { return URL::fromString(text).has_value(); }

TEST(URLTest, KeepsTheTextAsGivenWhateverItsScheme) {
    const std::string text = "https://127.0.0.1:8080/velto/mob?e=Purchase&pi=1234&x=a=b";
    auto url = URL::fromString(text);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), text);
    EXPECT_EQ(url->scheme(), "https");
    // The transport answers these with a non-HTTP response, so they must parse.
    EXPECT_EQ(URL::fromString("ftp://127.0.0.1/x")->scheme(), "ftp");
    EXPECT_EQ(URL::fromString("file:///tmp/x")->scheme(), "file");
    EXPECT_TRUE(parses("custom-scheme://127.0.0.1/path"));
}

TEST(URLTest, AcceptsWhatAUrlMayHold) {
    EXPECT_TRUE(parses("http://127.0.0.1/a%2Fb?c=%aF"));
    EXPECT_TRUE(parses("http://127.0.0.1/path?q=1#fragment"));
    EXPECT_TRUE(parses("http://[::1]:8080/x"));
    EXPECT_TRUE(parses("http://127.0.0.1/~user/a-b_c.d!$'()*+,;=:@"));
}

TEST(URLTest, RefusesBlankTextAndTextThatIsNoAbsoluteURL) {
    for (const char* text :
         {"", " ", "\t\n", "127.0.0.1/velto/mob?e=x", "http://", "http://127.0.0.1:99999/"}) {
        EXPECT_FALSE(parses(text)) << '"' << text << '"';
    }
}

TEST(URLTest, RefusesCharactersAUrlMayNotHold) {
    std::string refused = " \"<>\\^`{|}\x01\t\n\r\x1f\x7f\x80\xC3\xFF";
    refused.push_back('\0');  // must not cut the text short for the parser
    for (char c : refused) {
        EXPECT_FALSE(parses(std::string("http://127.0.0.1/mob?e=Pur") + c + "chase&pi=1"))
            << "byte " << int(static_cast<unsigned char>(c));
    }
}

TEST(URLTest, RefusesAPercentWithoutTwoHexDigits) {
    for (const char* query : {"e=100%", "e=%4", "e=%zz", "e=%4g&pi=1"}) {
        EXPECT_FALSE(parses(std::string("http://127.0.0.1/?") + query)) << query;
    }
}

}  // namespace
}  // namespace VeltoSDK::platform
