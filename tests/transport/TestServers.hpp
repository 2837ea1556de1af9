#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/HttpClient.hpp"

// Loopback servers and a completion recorder for the HTTP client's tests.
namespace VeltoSDK::testing {

// An httplib server on 127.0.0.1 and a free port, serving on its own thread.
class LocalServer {
  public:
    LocalServer();
    // HTTPS with the given certificate and key files.
    LocalServer(const std::string& certFile, const std::string& keyFile);
    ~LocalServer();

    httplib::Server& routes() { return *server_; }
    // Starts serving; add routes first.
    void start();
    std::string url(const std::string& path) const;

  private:
    std::unique_ptr<httplib::Server> server_;
    std::string scheme_;
    int port_ = 0;
    std::thread thread_;
};

// A socket that takes connections (in the kernel's backlog) and never answers.
class SilentServer {
  public:
    SilentServer();
    ~SilentServer();
    std::string url(const std::string& path) const;

  private:
    int port_ = 0;  // set while fd_ is made, so declared first
    int fd_ = -1;
};

// A reserved port with nothing listening: connecting is refused.
class ClosedPort {
  public:
    ClosedPort();
    ~ClosedPort();
    std::string url(const std::string& path) const;

  private:
    int port_ = 0;  // set while fd_ is made, so declared first
    int fd_ = -1;
};

// Accepts one connection and keeps the request exactly as it arrived, then answers 200.
class RawCaptureServer {
  public:
    RawCaptureServer();
    ~RawCaptureServer();
    std::string url(const std::string& path) const;
    // The head and body as received; empty if nothing came within a few seconds.
    std::string request();

  private:
    int port_ = 0;  // set while fd_ is made, so declared first
    int fd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::optional<std::string> request_;
};

// A self-signed certificate for 127.0.0.1, made with the openssl command in a temporary
// directory.
struct TestCertificate {
    std::string directory;
    std::string certFile;
    std::string keyFile;
};
const TestCertificate& testCertificate();

// What one completion handler call received.
struct Completion {
    std::optional<std::string> data;
    bool hasResponse = false;
    std::optional<int> statusCode;
    std::optional<platform::TransportError> error;
    std::thread::id thread;
};

// Completion handlers capture nothing, so they report here.
class Recorder {
  public:
    static void handler(const std::optional<std::string>& data,
                        const platform::URLResponse* response,
                        const platform::TransportError* error);
    static void reset();
    static std::vector<Completion> completions();
    // Waits until `count` completions came, at most `timeout`.
    static bool waitFor(std::size_t count, std::chrono::milliseconds timeout);
};

platform::HttpRequest makeRequest(const std::string& url, std::string method = "GET",
                                  double timeoutSeconds = 10);

}  // namespace VeltoSDK::testing
