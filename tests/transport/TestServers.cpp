#include "TestServers.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

// A TCP socket bound to 127.0.0.1 on a free port.
int boundSocket(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

std::string loopbackURL(const std::string& scheme, int port, const std::string& path) {
    return scheme + "://127.0.0.1:" + std::to_string(port) + path;
}

std::mutex recorderMutex;
std::condition_variable recorderChanged;
std::vector<Completion> recorded;

}  // namespace

LocalServer::LocalServer() : server_(std::make_unique<httplib::Server>()), scheme_("http") {}

LocalServer::LocalServer(const std::string& certFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
      scheme_("https") {}

LocalServer::~LocalServer() {
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

void LocalServer::start() {
    // An idle keep-alive connection holds a server thread this long, and so delays stop().
    server_->set_keep_alive_timeout(1);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("cannot bind the test server");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

std::string LocalServer::url(const std::string& path) const {
    return loopbackURL(scheme_, port_, path);
}

SilentServer::SilentServer() : fd_(boundSocket(port_)) {
    ::listen(fd_, 512);
}
SilentServer::~SilentServer() {
    ::close(fd_);
}
std::string SilentServer::url(const std::string& path) const {
    return loopbackURL("http", port_, path);
}

ClosedPort::ClosedPort() : fd_(boundSocket(port_)) {}
ClosedPort::~ClosedPort() {
    ::close(fd_);
}
std::string ClosedPort::url(const std::string& path) const {
    return loopbackURL("http", port_, path);
}

RawCaptureServer::RawCaptureServer() : fd_(boundSocket(port_)) {
    ::listen(fd_, 4);
    thread_ = std::thread([this] {
        std::string received;
        pollfd listening{fd_, POLLIN, 0};
        if (::poll(&listening, 1, 5000) == 1) {
            int connection = ::accept(fd_, nullptr, nullptr);
            pollfd readable{connection, POLLIN, 0};
            char buffer[4096];
            // Reads until the head and the body it announces are in, or a quiet second.
            while (::poll(&readable, 1, 1000) == 1) {
                ssize_t n = ::read(connection, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                received.append(buffer, static_cast<size_t>(n));
                size_t headEnd = received.find("\r\n\r\n");
                if (headEnd == std::string::npos)
                    continue;
                size_t lengthAt = received.find("Content-Length: ");
                size_t length = lengthAt < headEnd ? std::stoul(received.substr(lengthAt + 16)) : 0;
                if (received.size() >= headEnd + 4 + length)
                    break;
            }
            std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            (void)::write(connection, answer.data(), answer.size());
            ::close(connection);
        }
        std::lock_guard lock(mutex_);
        request_ = received;
        arrived_.notify_all();
    });
}

RawCaptureServer::~RawCaptureServer() {
    thread_.join();
    ::close(fd_);
}

std::string RawCaptureServer::url(const std::string& path) const {
    return loopbackURL("http", port_, path);
}

std::string RawCaptureServer::request() {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, 10s, [this] { return request_.has_value(); });
    return request_.value_or("");
}

const TestCertificate& testCertificate() {
    static const TestCertificate certificate = [] {
        char pattern[] = "/tmp/veltosdk-tls-XXXXXX";
        TestCertificate made;
        made.directory = ::mkdtemp(pattern);
        made.certFile = made.directory + "/cert.pem";
        made.keyFile = made.directory + "/key.pem";
        std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1"
            " -keyout " +
            made.keyFile + " -out " + made.certFile + " 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("openssl failed");
        return made;
    }();
    return certificate;
}

void Recorder::handler(const std::optional<std::string>& data,
                       const platform::URLResponse* response,
                       const platform::TransportError* error) {
    Completion completion;
    completion.data = data;
    completion.hasResponse = response != nullptr;
    if (response)
        completion.statusCode = response->statusCode;
    if (error)
        completion.error = *error;
    completion.thread = std::this_thread::get_id();
    std::lock_guard lock(recorderMutex);
    recorded.push_back(std::move(completion));
    recorderChanged.notify_all();
}

void Recorder::reset() {
    std::lock_guard lock(recorderMutex);
    recorded.clear();
}

std::vector<Completion> Recorder::completions() {
    std::lock_guard lock(recorderMutex);
    return recorded;
}

bool Recorder::waitFor(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(recorderMutex);
    return recorderChanged.wait_for(lock, timeout, [&] { return recorded.size() >= count; });
}

platform::HttpRequest makeRequest(const std::string& url, std::string method,
                                  double timeoutSeconds) {
    platform::HttpRequest request(platform::URL::fromString(url).value(),
                                  platform::CachePolicy::reloadIgnoringLocalCacheData,
                                  timeoutSeconds);
    request.setHttpMethod(std::move(method));
    return request;
}

}  // namespace VeltoSDK::testing
