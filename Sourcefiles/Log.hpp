#pragma once

#include <string>
#include <string_view>

namespace VeltoSDK {

// The library's only reporting channel: one line per report on standard output.
// Error and info lines are always written; debug lines only while debug mode is on.
class Log {
public:
    static constexpr std::string_view dateFormat = "yyyy-MM-dd hh:mm:ssSSS";

    // Where lines come from: the calling source file and the label of the calling operation.
    // Each logging function has one, as a constant.
    struct Site {
        constexpr Site(std::string_view file, std::string_view function)
            : file(file), function(function), fileName(sourceFileName(file)) {}
        std::string_view file;
        std::string_view function;
        std::string_view fileName;  // what a line shows of `file`, found once
    };

    // While one lives on a thread, the lines that thread writes to standard output are kept and
    // written together, with one system call, when it is flushed or ends: whole and in order.
    // Lines a log handler takes are not kept. One made while another lives changes nothing.
    // The thread's lines read the locale and time zone once while it lives.
    class Batch {
    public:
        Batch();
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Writes what the calling thread's batch has kept so far, if it has one.
        static void flush();

    private:
        std::string lines_;
        bool owner_;
    };

    static void error(std::string_view message, const Site& site, int line);
    static void info(std::string_view message, const Site& site, int line);
    static void debug(std::string_view message, const Site& site, int line);

    // The last "/"-separated piece of `path`.
    static constexpr std::string_view sourceFileName(std::string_view path) {
        size_t slash = path.rfind('/');
        return slash == std::string_view::npos ? path : path.substr(slash + 1);
    }
    // The current time in `dateFormat`, in the current locale and time zone.
    static std::string formattedNow();
    // Whether ICU's canonical form of the locale `name` is known to be `name` itself, so that
    // a formatter for it is made without loading ICU's alias data.
    static bool isKnownCanonicalLocale(std::string_view name);
};

}  // namespace VeltoSDK
