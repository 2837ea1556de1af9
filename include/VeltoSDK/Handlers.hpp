#pragma once

#include <functional>
#include <string_view>

namespace VeltoSDK {

/// The level of a log line, and the minimum level lines must have to be written at all.
/// Ordered from the most verbose: `debug` < `info` < `error` < `off`. A line never has the
/// level `off`; as a minimum it silences every line.
enum class LogLevel {
    debug = 0,  ///< The JSON body of each request, written only while debug mode is on.
    info = 1,   ///< Progress: initialisation, each event, each accepted answer.
    error = 2,  ///< A refused event, a failed transfer, a request that could not be built.
    off = 3,    ///< As a minimum level only: no line is written.
};

/// Receives each log line instead of standard output: its level and its exact text without the
/// line feed (a line that carries a JSON body spans several lines of text). The text is valid
/// only during the call. May run on several threads at once; see `Velto::setLogHandler`.
using LogHandler = std::function<void(LogLevel level, std::string_view line)>;

/// How the server's answer to a handed-over event ended.
enum class OutcomeKind {
    accepted = 0,        ///< Status 200: the line "Data Posted Successfully".
    refused = 1,         ///< Any other status; `EventOutcome::refusal` says which answer it was.
    transportError = 2,  ///< No answer: connection, TLS or timeout.
    notHTTP = 3,         ///< An answer that is not HTTP (a base URL with another scheme).
};

/// Which refusal the server gave, as the line reports it. `none` unless the kind is `refused`.
enum class Refusal {
    none = 0,
    noBody = 1,                ///< "Error: did not receive data"
    unrecognisedBody = 2,      ///< "Error: " and the body (or "Failed to parse pixel")
    unregisteredPixelId = 3,   ///< "UNREGISTERED_PIXEL_ID"
    eventFieldMissing = 4,     ///< "PIXEL_MISSING_REQUIRED_FIELD" naming the event field "e"
    unsupportedEvent = 5,      ///< "PIXEL_UNSUPPORTED_EVENT"
    requiredFieldMissing = 6,  ///< any other answer of the server's pixel parser
};

/// The outcome of one handed-over event, given to the outcome handler after its line was
/// written. The texts are valid only during the call.
struct EventOutcome {
    std::string_view eventName;  ///< As given to `fireEvent`.
    OutcomeKind kind;            ///< How the answer ended.
    Refusal refusal;             ///< `Refusal::none` unless `kind` is `refused`.
    int statusCode;  ///< The HTTP status; 0 for a transport error or an answer that is not HTTP.
    /// The message of the event's last log line, as the library composed it. It may quote the
    /// server's body: treat it as text from outside.
    std::string_view message;
};

/// Receives each event's outcome; see `Velto::setOutcomeHandler`.
using OutcomeHandler = std::function<void(const EventOutcome& outcome)>;

}  // namespace VeltoSDK
