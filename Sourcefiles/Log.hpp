#pragma once

#include <string>
#include <string_view>

namespace VeltoSDK {

// The library's only reporting channel: one line per report on standard output.
// Error and info lines are always written; debug lines only while debug mode is on.
class Log {
public:
    static constexpr std::string_view dateFormat = "yyyy-MM-dd hh:mm:ssSSS";

    static void error(std::string_view message, std::string_view file, int line,
                      std::string_view function);
    static void info(std::string_view message, std::string_view file, int line,
                     std::string_view function);
    static void debug(std::string_view message, std::string_view file, int line,
                      std::string_view function);

    // The last "/"-separated piece of `path`.
    static std::string_view sourceFileName(std::string_view path);
    // The current time in `dateFormat`, in the current locale and time zone.
    static std::string formattedNow();
};

}  // namespace VeltoSDK
