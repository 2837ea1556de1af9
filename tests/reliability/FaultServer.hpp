#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A loopback server that reads each request whole and then misbehaves as told.
namespace VeltoSDK::testing {

class FaultServer {
public:
    // Gets the connection after the request was read; the server closes it afterwards.
    using Answer = std::function<void(int fd, const std::atomic<bool>& stopping)>;

    explicit FaultServer(Answer answer);
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    std::string baseURL() const;            // ends in "?", as the library's base URL does
    int served() const { return served_; }  // connections answered so far

    // Answers for the cases the tests need.
    static Answer respond(int status, std::string body);  // a whole answer, then close
    static Answer closeMidHeaders();
    static Answer closeMidBody();
    static Answer oversizedBody(std::size_t bytes);
    static Answer notHTTP();
    static Answer trickle(std::string response);  // one byte per second

private:
    void serve();

    Answer answer_;
    int port_ = 0;
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<int> served_{0};
    std::thread thread_;
};

}  // namespace VeltoSDK::testing
