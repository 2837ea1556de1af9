/// @file
/// The C++ entry point: VeltoSDK::Velto.
#pragma once

#include <string>
#include <string_view>

#include <VeltoSDK/Export.hpp>

/// Everything the C++ interface declares.
namespace VeltoSDK {

class VeltoParams;

/// The library's front door: initialise once with the pixel id, then fire events.
///
/// All members are static except the four settings, which are reached through shared().
/// Every member may be called from any thread at any time; changes take effect for the events
/// fired after them. Each event is one HTTP POST built on the calling thread and handed to an
/// asynchronous client; its answer is written as one log line on standard output.
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
    ///   - a text of the body (a parameter, or a value set through HostInfo) is not valid UTF-8.
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

    /// Not copyable: there is one instance, shared().
    Velto(const Velto&) = delete;
    /// Not assignable: there is one instance, shared().
    Velto& operator=(const Velto&) = delete;

private:
    Velto() = default;
};

}  // namespace VeltoSDK
