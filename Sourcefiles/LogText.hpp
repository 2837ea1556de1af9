#pragma once

#include <string>
#include <string_view>

namespace VeltoSDK {

// Makes texts from outside the library (server answers, transport errors, event names, URLs)
// safe to put in a log line: they can neither end the line nor drive a terminal.
class LogText {
public:
    // `text` with every control character written as a visible escape: "\n", "\r", "\t", and
    // "\u001b" style for the other C0 controls, DEL, the C1 controls and the line and
    // paragraph separators U+2028 and U+2029. A byte that is not part of well-formed UTF-8 is
    // written "\xHH". Everything else, UTF-8 included, stays as it is. With `keepLineFeeds`, a
    // line feed stays one (for the pretty-printed JSON body, whose strings are escaped already).
    static std::string escaped(std::string_view text, bool keepLineFeeds = false);
    // The same, appended to `out`.
    static void appendEscaped(std::string& out, std::string_view text, bool keepLineFeeds = false);

    // `url` with the password in its user information written as "***".
    static std::string withoutPassword(std::string_view url);
    // The same, appended to `out`.
    static void appendWithoutPassword(std::string& out, std::string_view url);
};

}  // namespace VeltoSDK
