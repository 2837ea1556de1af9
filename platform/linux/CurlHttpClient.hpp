#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/HttpClient.hpp"

namespace VeltoSDK::platform::linux_os {

// Transfers, and bytes of their request bodies, waiting or running at once. One more is
// refused at once, so memory stays bounded when the server is slow or gone.
inline constexpr std::size_t kMaxTransfers = 10'000;
inline constexpr std::size_t kMaxPendingBodyBytes = 64 * 1024 * 1024;
inline constexpr std::size_t kMaxConnectionsPerHost = 6;
// The body of an answer other than 200 is kept up to this size, then cut and marked with
// kTruncationMark. The body of a 200 is never kept.
inline constexpr std::size_t kMaxResponseBytes = 1024 * 1024;
inline constexpr std::string_view kTruncationMark = "\u2026[truncated]";
// Connections idle this long are not reused: shorter than the keep-alive timeouts of common
// servers (5 s and up), so a server rarely closes one just as a request goes out on it.
inline constexpr long kConnectionIdleLimitSeconds = 4;
// What the worker thread is called, as tools that list threads show it.
inline constexpr const char* kWorkerThreadName = "velto-http";
// TransportError::code of a transfer refused because the client is saturated. Every other code
// is curl's.
inline constexpr long kSaturatedErrorCode = -1;

struct CurlClientOptions {
    std::size_t maxTransfers = kMaxTransfers;
    // CA certificates to trust; empty means the system's.
    std::string caBundle;

    // The defaults, trusting CURL_CA_BUNDLE or else SSL_CERT_FILE when either is set.
    static CurlClientOptions fromEnvironment();
};

class CurlClientState;

// An asynchronous HTTP client on libcurl. One worker thread drives a multi handle and runs the
// completions; callers only enqueue. A client is never destroyed: its worker runs until the
// process ends and is parked at exit before the TLS library is torn down.
//
// A request is sent at most once: when a reused connection dies after the request went out on
// it and before any answer byte, the transfer fails instead of going out again, as the server
// may have it. A connection found closed before the request is written is not used: the
// request goes out on a fresh one. No transfer outlives its request's timeout interval,
// counted from resume().
//
// Besides the request's own headers, a request carries only Host, Content-Length and a
// User-Agent naming the library. Nothing is cached locally, so both cache policies behave alike
// and no Cache-Control is added. Redirects are not followed: a 3xx is the answer. Proxies come
// from the usual environment variables, as curl reads them.
class CurlHttpClient final : public HttpClient {
public:
    explicit CurlHttpClient(CurlClientOptions options = CurlClientOptions::fromEnvironment());
    // Frees the client's state only if it never made a task nor started; otherwise it lives on, for
    // the worker and the tasks that refer to it.
    ~CurlHttpClient() override;

    std::shared_ptr<DataTask> dataTask(HttpRequest request, CompletionHandler completion) override;
    bool flush(double timeoutSeconds) override;
    void start() override;

    // False in a forked child: it must not touch its parent's worker or handles.
    bool belongsToThisProcess() const;

private:
    CurlClientState* state_;  // shared with the worker and tasks; never freed
};

}  // namespace VeltoSDK::platform::linux_os
