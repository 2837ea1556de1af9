#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HttpClient.hpp"

// The worker's side of the client. Everything here runs on the worker thread only, but
// deadlineFor.
namespace VeltoSDK::platform::linux_os {

using SteadyClock = std::chrono::steady_clock;

// One resumed data task.
struct CurlTask {
    HttpRequest request;
    CompletionHandler completion;
    std::uint64_t id = 0;
    SteadyClock::time_point deadline{};  // the transfer fails when it has not ended by then
};

// When a transfer resumed now with a timeout interval of `seconds` must have ended. Called
// on the caller's thread; the clock is read without a system call.
SteadyClock::time_point deadlineFor(double seconds);

// What a finished transfer hands to its completion handler.
struct TransferResult {
    std::optional<std::string> data;
    std::optional<URLResponse> response;
    std::optional<TransportError> error;
};

// One line: curl's code and summary, the detail and the host.
std::string describeTransportError(long code, std::string_view detail, std::string_view host);
TransferResult failure(long code, std::string_view detail, std::string_view host);

// What an easy handle was configured for, beyond the options every transfer sets anew.
struct HandleShape {
    std::string method;
    bool hasBody = false;
    bool https = false;
    bool operator==(const HandleShape&) const = default;
};

// Easy handles kept between transfers, so most transfers allocate none. A handle comes back
// configured for the shape it last served, so a transfer of the same shape sets only its own
// options; any other gets the handle reset to its defaults.
class EasyHandlePool {
public:
    EasyHandlePool() = default;
    ~EasyHandlePool();
    EasyHandlePool(const EasyHandlePool&) = delete;
    EasyHandlePool& operator=(const EasyHandlePool&) = delete;

    // Null when out of memory. `configured` tells whether the handle already has `shape`.
    CURL* acquire(const HandleShape& shape, bool& configured);
    // No shape: the handle's configuration is unknown and it is reset.
    void release(CURL* easy, std::optional<HandleShape> shape);

private:
    struct Idle {
        CURL* easy;
        std::optional<HandleShape> shape;
    };
    std::vector<Idle> idle_;
};

// The header list of the last request, shared while requests carry the same fields.
class HeaderListCache {
public:
    // Null when out of memory.
    std::shared_ptr<curl_slist> listFor(const HttpRequest& request);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
    bool hasBody_ = false;
    std::shared_ptr<curl_slist> list_;
};

// One transfer on the wire: owns its easy handle, header list and response buffer. The easy
// handle's private pointer points back here.
class CurlTransfer {
public:
    CurlTransfer(std::unique_ptr<CurlTask> task, std::string host, const std::string& caBundle,
                 EasyHandlePool& pool, HeaderListCache& headerLists);
    // Removes the handle from its multi, gives it back to the pool, then lets go of the header
    // list.
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Configures the easy handle and adds it to `multi`; on failure, the result to report.
    std::optional<TransferResult> start(CURLM* multi, SteadyClock::time_point now);
    // The result of a transfer curl reported done with `code`.
    TransferResult finish(CURLcode code);

    std::unique_ptr<CurlTask> takeTask() { return std::move(task_); }
    const std::string& host() const { return host_; }

private:
    static std::size_t onBody(char* bytes, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* bytes, std::size_t size, std::size_t count, void* self);
    static int onPrerequest(void* self, char*, char*, int, int);
    bool configure(std::chrono::milliseconds timeLeft);

    std::unique_ptr<CurlTask> task_;
    std::string host_;
    const std::string& caBundle_;
    EasyHandlePool& pool_;
    HeaderListCache& headerLists_;
    CURL* easy_ = nullptr;
    std::optional<HandleShape> shape_;  // once the handle is fully configured
    CURLM* multi_ = nullptr;
    std::shared_ptr<curl_slist> headers_;
    std::string body_;  // of an answer other than 200, up to one byte past the cap
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    int status_ = 0;              // of the latest status line
    bool headersEnded_ = false;   // the blank line after the final response's headers came
    bool truncated_ = false;      // the body went past the cap and the transfer was ended there
    int attempts_ = 0;            // at sending the request
    bool resendRefused_ = false;  // a second attempt was refused
};

}  // namespace VeltoSDK::platform::linux_os
