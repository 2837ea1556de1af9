#include "FaultServer.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

bool waitReadable(int fd, const std::atomic<bool>& stopping) {
    while (!stopping) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) > 0) return true;
    }
    return false;
}

// Reads the head and a Content-Length body, so the client has sent all it will send.
void readRequest(int fd, const std::atomic<bool>& stopping) {
    std::string received;
    char chunk[4096];
    size_t wanted = std::string::npos;
    while (received.size() < wanted && waitReadable(fd, stopping)) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) return;
        received.append(chunk, static_cast<size_t>(n));
        size_t headEnd = received.find("\r\n\r\n");
        if (wanted == std::string::npos && headEnd != std::string::npos) {
            size_t at = received.find("Content-Length: ");
            size_t length = at < headEnd ? std::stoul(received.substr(at + 16)) : 0;
            wanted = headEnd + 4 + length;
        }
    }
}

void send(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace

FaultServer::FaultServer(Answer answer) : answer_(std::move(answer)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 64) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FaultServer::~FaultServer() {
    stopping_ = true;
    thread_.join();
    ::close(fd_);
}

std::string FaultServer::baseURL() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/velto/mob?";
}

void FaultServer::serve() {
    while (waitReadable(fd_, stopping_)) {
        int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        readRequest(connection, stopping_);
        answer_(connection, stopping_);
        ++served_;
        ::close(connection);
    }
}

FaultServer::Answer FaultServer::respond(int status, std::string body) {
    return [status, body](int fd, auto&) {
        send(fd, "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n" +
                     "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    };
}

FaultServer::Answer FaultServer::closeMidHeaders() {
    return [](int fd, auto&) { send(fd, "HTTP/1.1 200 OK\r\nContent-Ty"); };
}

FaultServer::Answer FaultServer::closeMidBody() {
    return
        [](int fd, auto&) { send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."); };
}

FaultServer::Answer FaultServer::oversizedBody(std::size_t bytes) {
    return [bytes](int fd, auto&) {
        send(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes) + "\r\n\r\n");
        send(fd, std::string(bytes, 'x'));
    };
}

FaultServer::Answer FaultServer::notHTTP() {
    return [](int fd, auto&) {
        static constexpr char kBytes[] = "\x16\x03\x01\0\xff garbage\r\n\r\n";
        send(fd, std::string_view(kBytes, sizeof kBytes - 1));
    };
}

FaultServer::Answer FaultServer::trickle(std::string response) {
    return [response](int fd, const std::atomic<bool>& stopping) {
        for (char byte : response) {
            for (int i = 0; i < 20 && !stopping; ++i) std::this_thread::sleep_for(50ms);
            if (stopping) return;
            send(fd, std::string_view(&byte, 1));
        }
    };
}

}  // namespace VeltoSDK::testing
