/// @file
/// The C++ entry point: VeltoSDK::Velto.
#pragma once

#include <string>
#include <string_view>

#include <VeltoSDK/export.h>
#include <VeltoSDK/Handlers.hpp>

/// Everything the C++ interface declares.
namespace VeltoSDK {

class VeltoParams;

/// The library's front door: initialise once with the pixel id, then fire events.
///
/// All members are static except the four settings, which are reached through shared().
/// Every member may be called from any thread at any time; changes take effect for the events
/// fired after them. Each event is one HTTP POST built on the calling thread and handed to an
/// asynchronous client; its answer is written as one log line on standard output, or handed
/// to the log handler when one is set.
class VELTOSDK_API Velto {
public:
    /// The one instance that holds the settings (base URL and debug mode). It is made on first
    /// use and lives until the process ends, so it may be used during exit.
    static Velto& shared();

    /// Sets the pixel id that every following event carries ("pi" in the query).
    /// The id is stored as given; an id that is empty or only white space (Unicode) is stored
    /// too, logged as an error ("Invalid Pixel Id"), and makes fireEvent() return false until a
    /// valid id is set. May be called again at any time; a valid id restarts the session time
    /// that events carry ("st").
    static void initialize(std::string_view pixelId);

    /// Builds the event's request on the calling thread and hands it to the HTTP client;
    /// returns at once without waiting for the server. The answer is only logged.
    ///
    /// The event name goes into the URL as it is, not escaped ("e" in the query): keep names to
    /// letters, digits and "_". The library reads `eventParams` (nullptr: no parameters) during
    /// the call and keeps no reference to it.
    ///
    /// @return true when the request was handed over. false, with nothing sent, when
    ///   - no valid pixel id is set (initialize() never called, or called with a blank id);
    ///   - the URL made of the base URL, the event name and the pixel id is not a valid URL
    ///     (for example a blank or a non-ASCII character in the name or the id);
    ///   - the HTTP client is saturated: 10,000 transfers or 64 MiB of request bodies are
    ///     already waiting or running (the event still gets its error line).
    ///
    /// Bytes of a parameter or a host value that are not UTF-8 go out as U+FFFD.
    static bool fireEvent(std::string_view eventName, const VeltoParams* eventParams = nullptr);

    /// For hosts about to exit: waits until every transfer started so far has completed and
    /// logged its line, or the timeout passes. A transfer that failed (refused connection,
    /// timeout, server error) counts as completed.
    /// @param timeoutSeconds how long to wait at most.
    /// @return true when all completed; false when the timeout passed first.
    static bool flush(double timeoutSeconds);

    /// The URL that events are posted to, before the query. Defaults to
    /// "https://<VELTOSDK_DEFAULT_HOST>/velto/mob?", the host being set when the library is
    /// built.
    std::string baseURL() const;
    /// Replaces the base URL for the events fired after the call. The text is not checked:
    /// the query ("e=...&pi=...") is appended to it as it is, so it must end in "?". A URL
    /// that does not parse makes fireEvent() return false.
    void setBaseURL(std::string baseURL);
    /// Whether debug mode is on; off by default.
    bool debugMode() const;
    /// In debug mode the log also gets each request's JSON body as a debug line.
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

    /// Not copyable: there is one instance, shared().
    Velto(const Velto&) = delete;
    /// Not assignable: there is one instance, shared().
    Velto& operator=(const Velto&) = delete;

private:
    Velto() = default;
};

}  // namespace VeltoSDK
