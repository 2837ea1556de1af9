#pragma once

#include <memory>
#include <optional>
#include <string>

#include "HttpRequest.hpp"

namespace VeltoSDK::platform {

// What came back: an HTTP response carries its status code, any other response none.
struct URLResponse {
    std::optional<int> statusCode;
    bool isHTTP() const { return statusCode.has_value(); }
};

struct TransportError {
    long code = 0;
    std::string debugDescription;
};

// Runs exactly once per transfer, on the client's worker thread. A plain function pointer,
// so a handler cannot capture anything.
using CompletionHandler = void (*)(const std::optional<std::string>& data,
                                   const URLResponse* response, const TransportError* error);

class DataTask {
public:
    virtual ~DataTask() = default;
    virtual void resume() = 0;
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
