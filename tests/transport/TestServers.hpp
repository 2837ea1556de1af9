#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>

#include "platform/HttpRequest.hpp"
#include "support/Loopback.hpp"

namespace VeltoSDK::testing {

inline std::string loopbackURL(const std::string& scheme, int port, const std::string& path) {
    return scheme + "://127.0.0.1:" + std::to_string(port) + path;
}

// An httplib server on 127.0.0.1 and a free port: add routes, then start().
class LocalServer {
public:
    LocalServer() : server_(std::make_unique<httplib::Server>()) {}
    explicit LocalServer(const TestCertificate& certificate)
        : server_(std::make_unique<httplib::SSLServer>(certificate.certFile.c_str(),
                                                       certificate.keyFile.c_str())),
          scheme_("https") {}
    ~LocalServer() {
        server_->stop();
        if (thread_.joinable()) thread_.join();
    }
    httplib::Server& routes() { return *server_; }
    LocalServer& start() {
        server_->set_keep_alive_timeout(1);  // an idle connection would hold up stop()
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        return *this;
    }
    std::string url(const std::string& path) const { return loopbackURL(scheme_, port_, path); }

private:
    std::unique_ptr<httplib::Server> server_;
    std::string scheme_ = "http";
    int port_ = 0;
    std::thread thread_;
};

// A loopback port of its own. Listening, it takes connections into the kernel's backlog and
// never answers; not listening, it refuses every connection.
class SilentServer {
public:
    explicit SilentServer(bool listening = true) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        if (listening) ::listen(fd_, 512);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(fd_); }
    int fd() const { return fd_; }
    std::string url(const std::string& path) const { return loopbackURL("http", port_, path); }

private:
    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port_ = 0;
};

inline platform::HttpRequest makeRequest(const std::string& url, std::string method = "GET",
                                         double timeoutSeconds = 10) {
    platform::HttpRequest request(platform::URL::fromString(url).value(),
                                  platform::CachePolicy::reloadIgnoringLocalCacheData,
                                  timeoutSeconds);
    request.setHttpMethod(std::move(method));
    return request;
}

}  // namespace VeltoSDK::testing
