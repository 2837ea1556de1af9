#include <gtest/gtest.h>

#include <string>

#include "platform/URL.hpp"

namespace VeltoSDK::platform {
namespace {

bool parses(std::string_view text) { return URL::fromString(text).has_value(); }

TEST(URLTest, KeepsTheTextAsGivenWhateverItsScheme) {
    const std::string text = "https://127.0.0.1:8080/velto/mob?e=Purchase&pi=1234&x=a=b";
    EXPECT_EQ(URL::fromString(text)->absoluteString(), text);
    // The transport answers other schemes with a non-HTTP response, so they must parse.
    EXPECT_EQ(URL::fromString("ftp://127.0.0.1/x")->scheme(), "ftp");
    for (const char* ok : {"http://127.0.0.1/a%2Fb?c=%aF#f", "http://[::1]:8080/x",
                           "http://127.0.0.1/~user/a-b_c.d!$'()*+,;=:@"})
        EXPECT_TRUE(parses(ok)) << ok;
}

TEST(URLTest, RefusalClasses) {
    // Blank text, text that is no absolute URL, and a percent without two hex digits.
    for (const char* text :
         {"", " ", "127.0.0.1/velto/mob?e=x", "http://", "http://127.0.0.1:99999/",
          "http://127.0.0.1/?e=100%", "http://127.0.0.1/?e=%4", "http://127.0.0.1/?e=%4g&pi=1"})
        EXPECT_FALSE(parses(text)) << '"' << text << '"';
    // Characters a URL may not hold, NUL included (it must not cut the text short).
    for (char c : std::string(" \"<>\\^`{|}\x01\t\n\r\x7f\x80\xC3\xFF\0", 19))
        EXPECT_FALSE(parses(std::string("http://127.0.0.1/mob?e=Pur") + c + "chase&pi=1"))
            << "byte " << int(static_cast<unsigned char>(c));
}

}  // namespace
}  // namespace VeltoSDK::platform
