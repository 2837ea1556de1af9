#pragma once

#include <string>

#include <VeltoSDK/Handlers.hpp>

namespace VeltoSDK {

// Where the log's lines go: the host's log handler when one is set, standard output otherwise,
// and nowhere below the minimum level. The default path costs one atomic load.
class LogSink {
public:
    // The way for one line, read once before the line is made.
    class Route {
    public:
        // False when the line is below the minimum level and should not be made at all.
        explicit operator bool() const { return writes_; }
        // Whether the line is for the host's log handler rather than standard output.
        bool toHandler() const { return toHandler_; }
        // Hands `line` (without its line feed) to the handler, or writes it to standard output;
        // true when it went to standard output.
        bool deliver(std::string line) const;

    private:
        friend class LogSink;
        Route(LogLevel level, unsigned state);
        LogLevel level_;
        bool writes_;
        bool toHandler_;
    };

    static Route route(LogLevel level);

    static void setHandler(LogHandler handler);
    static void setMinimumLevel(LogLevel level);
    static LogLevel minimumLevel();
};

}  // namespace VeltoSDK
