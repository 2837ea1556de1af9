#pragma once

#include <string>
#include <string_view>

#include <VeltoSDK/Handlers.hpp>
#include <VeltoSDK/export.h>

namespace VeltoSDK {

class VeltoParams;

// The library's front door: initialise once with the pixel id, then fire events.
class VELTOSDK_API Velto {
public:
    static Velto& shared();

    static void initialize(std::string_view pixelId);

    // Builds the event's request and hands it to the HTTP client; returns at once.
    // True when a request was handed over; the server's answer is only logged.
    // The library reads `eventParams` during the call and keeps no reference to it.
    static bool fireEvent(std::string_view eventName, const VeltoParams* eventParams = nullptr);

    // For hosts about to exit: waits until every transfer started so far has completed and
    // logged its line, or the timeout passes. True when all completed.
    static bool flush(double timeoutSeconds);

    std::string baseURL() const;
    void setBaseURL(std::string baseURL);
    bool debugMode() const;
    void setDebugMode(bool debugMode);

    /// Sends every log line to `handler` instead of standard output: its level and its exact
    /// text without the line feed. An empty function restores standard output (the default).
    /// Lines below the minimum level (`setLogLevel`) never reach it.
    ///
    /// The handler runs on the thread that writes the line: the app's thread for the lines of
    /// `initialize` and `fireEvent`, the HTTP worker for each answer's line. It may therefore
    /// run on several threads at once and must be safe for that. It must return quickly, as
    /// every event waits for it, and must not call `flush`, `fireEvent` or the setters of
    /// handlers (a handler may replace itself). What it throws is dropped with its line.
    ///
    /// Safe to call from any thread at any time. Once it returns, the handler it replaced is
    /// neither running nor called again and has been destroyed (a handler that replaces itself
    /// is destroyed when that call returns); to make sure of that it waits for the calls of
    /// the replaced handler already in progress. Throws only `std::bad_alloc`, leaving the
    /// handler as it was.
    static void setLogHandler(LogHandler handler);
    /// The lowest level written: `LogLevel::debug` (the default) writes every line, `info`
    /// drops the debug lines even in debug mode, `error` keeps only the error lines and `off`
    /// writes none. Debug lines still need debug mode on as well. A value outside the four
    /// leaves the level as it is. Safe from any thread; takes effect from the next line.
    static void setLogLevel(LogLevel level);
    /// The level set with `setLogLevel`.
    static LogLevel logLevel();
    /// Calls `handler` once for every event that was handed over (`fireEvent` returned true),
    /// on the HTTP worker, after the event's answer line was written and before `flush`
    /// counts the event as completed. An event not handed over has no outcome. An empty
    /// function removes the handler (none is set by default). The same rules as for
    /// `setLogHandler` hold: it must be quick, must not call `flush`, `fireEvent` or the
    /// handler setters, and is neither running nor called again once it is replaced. Throws
    /// only `std::bad_alloc`, leaving the handler as it was.
    ///
    /// `flush` counts an event as completed once this handler has returned, whatever the
    /// outcome: a refused event and a failed transfer are completed too, so a true result of
    /// `flush` says nothing about acceptance. Count the outcomes for that.
    static void setOutcomeHandler(OutcomeHandler handler);

    Velto(const Velto&) = delete;
    Velto& operator=(const Velto&) = delete;

private:
    Velto() = default;
};

}  // namespace VeltoSDK
