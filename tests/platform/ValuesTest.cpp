// The platform's values that need no operating system: URLs and version numbers.
#include <gtest/gtest.h>

#include <string>

#include "platform/DeviceInfo.hpp"
#include "platform/URL.hpp"

namespace VeltoSDK::platform {
namespace {

bool parses(std::string_view text) { return URL::fromString(text).has_value(); }

// The text is kept as given (the end-to-end suite sees it arrive), so only which texts parse
// is checked here.
TEST(URLTest, UrlTextsParseAndOthersAreRefused) {
    // Any scheme: the transport answers other schemes with a non-HTTP response.
    for (const char* ok : {"ftp://127.0.0.1/x", "http://127.0.0.1/a%2Fb?c=%aF#f",
                           "http://[::1]:8080/x", "http://127.0.0.1/~user/a-b_c.d!$'()*+,;=:@"})
        EXPECT_TRUE(parses(ok)) << ok;
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

TEST(DeviceInfoTest, VersionsCompareAsDottedNumbers) {
    const std::pair<bool, std::vector<const char*>> atLeast14[] = {
        {true, {"14", "17.2.1", "100", "14.0-beta", "14.0.0.1"}},
        {false,
         {"13.99.99", "13.99.99.99", "6.1.0-13-amd64", "", "v14", ".14", "14..0", "14x", "-14",
          "14.", "14.0.0..1", "99999999999999999999999"}}};
    for (const auto& [expected, versions] : atLeast14)
        for (const char* version : versions)
            EXPECT_EQ(versionIsAtLeast(version, 14, 0, 0), expected) << '"' << version << '"';
    EXPECT_TRUE(versionIsAtLeast("14.2", 14, 1, 9));
    EXPECT_FALSE(versionIsAtLeast("14.2", 14, 2, 1));
}

}  // namespace
}  // namespace VeltoSDK::platform
