#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/HttpRequest.hpp"

namespace VeltoSDK::platform {

// What came back: an HTTP response carries its status code, any other response none.
struct URLResponse {
    std::optional<int> statusCode;
    bool isHTTP() const { return statusCode.has_value(); }
};

struct TransportError {
    long code = 0;
    std::string debugDescription;
    bool refusedAtHandOver = false;  // resume() returned false for this task
};

// Runs exactly once per transfer, on the client's worker thread: a plain function and the one
// text it is given back (the library's event name), so a handler costs no allocation beyond
// that text's. Ordered, so that refused transfers can be counted per handler.
struct CompletionHandler {
    using Function = void (*)(std::string_view context, const std::optional<std::string>& data,
                              const URLResponse* response, const TransportError* error);
    Function function = nullptr;
    std::string context;

    explicit operator bool() const { return function != nullptr; }
    void operator()(const std::optional<std::string>& data, const URLResponse* response,
                    const TransportError* error) const {
        function(context, data, response, error);
    }
    friend bool operator<(const CompletionHandler& a, const CompletionHandler& b) {
        if (a.function != b.function) return std::less<Function>()(a.function, b.function);
        return a.context < b.context;
    }
};

class DataTask {
public:
    virtual ~DataTask() = default;
    // Starts the transfer. False when the client refused it at once because it is saturated;
    // the completion still runs, once, with the error.
    virtual bool resume() = 0;
};

// The process-wide asynchronous HTTP client. It keeps each started task alive until its
// completion has run.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual std::shared_ptr<DataTask> dataTask(HttpRequest request,
                                               CompletionHandler completion) = 0;
    // Waits until every task resumed so far has completed and its handler returned, or the
    // timeout passes. True when all completed.
    virtual bool flush(double timeoutSeconds) = 0;
    // Starts the client's worker ahead of the first transfer, so that its one-time set-up is not
    // paid by the thread that fires the first event. Clients without a worker do nothing.
    virtual void start() {}
};

}  // namespace VeltoSDK::platform
