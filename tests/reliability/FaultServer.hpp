#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "transport/TestServers.hpp"

namespace VeltoSDK::testing {

// A loopback server that reads each request whole, then sends `response` (one byte a second
// when trickling) and closes the connection.
class FaultServer {
public:
    explicit FaultServer(std::string response, bool trickle = false)
        : response_(std::move(response)), trickle_(trickle), thread_([this] { serve(); }) {}
    ~FaultServer() {
        stopping_ = true;
        thread_.join();
    }
    std::string baseURL() const { return socket_.url("/velto/mob?"); }
    int served() const { return served_; }  // connections answered so far

    static std::string answer(int status, const std::string& body) {
        return "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n" +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

private:
    bool readable(int fd) const {
        for (pollfd pfd{fd, POLLIN, 0}; !stopping_;)
            if (::poll(&pfd, 1, 50) > 0) return true;
        return false;
    }
    // Reads the head and a Content-Length body, so the client has sent all it will send.
    void readRequest(int fd) const {
        std::string received;
        char chunk[4096];
        for (size_t wanted = std::string::npos; received.size() < wanted && readable(fd);) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0) return;
            received.append(chunk, static_cast<size_t>(n));
            size_t headEnd = received.find("\r\n\r\n");
            if (wanted == std::string::npos && headEnd != std::string::npos) {
                size_t at = received.find("Content-Length: ");
                wanted = headEnd + 4 + (at < headEnd ? std::stoul(received.substr(at + 16)) : 0);
            }
        }
    }
    static void send(int fd, std::string_view bytes) {
        for (ssize_t n; !bytes.empty(); bytes.remove_prefix(static_cast<size_t>(n)))
            if ((n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return;
    }
    void serve() {
        using namespace std::chrono_literals;
        while (readable(socket_.fd())) {
            int connection = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            readRequest(connection);
            if (!trickle_) send(connection, response_);
            for (size_t i = 0; trickle_ && i < response_.size() && !stopping_; ++i) {
                for (int wait = 0; wait < 20 && !stopping_; ++wait)
                    std::this_thread::sleep_for(50ms);
                if (!stopping_) send(connection, std::string_view(response_).substr(i, 1));
            }
            ++served_;
            ::close(connection);
        }
    }

    SilentServer socket_;
    std::string response_;
    bool trickle_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> served_{0};
    std::thread thread_;  // last, so it starts once the rest is ready
};

}  // namespace VeltoSDK::testing
