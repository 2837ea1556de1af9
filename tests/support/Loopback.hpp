#pragma once

// Servers, child processes and certificates on loopback, for the suites that use real sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/HttpClient.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace VeltoSDK::testing {

using namespace std::chrono_literals;

inline constexpr int kClosedOutput = -2;

// Starts `args`, standard output on `out` (discarded when -1, closed when kClosedOutput) and
// standard error discarded. SIGPIPE starts at its default, as in a host the test runner did not
// start.
inline pid_t spawn(std::vector<std::string> args, int out = -1) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {  // only async-signal-safe calls from here on
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(devNull, STDERR_FILENO);
        out == kClosedOutput ? ::close(STDOUT_FILENO)
                             : ::dup2(out >= 0 ? out : devNull, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(devNull);
    return pid;
}

// How `pid` ended: its exit code, 128 + the signal that ended it, or -1 when it ran longer than
// `allowed` and was killed.
inline int exitCode(pid_t pid, std::chrono::milliseconds allowed = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + allowed;
    for (int status = 0; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(5ms))
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// A fresh directory, removed with its contents. A browser's helper processes may still be
// writing into it while it goes, so what cannot be removed is left behind.
struct TemporaryDirectory {
    const std::string path = mkdtemp(std::string("/tmp/veltosdk-XXXXXX").data());
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// Writes a self-signed certificate and its key, `directory`/`name`.{crt,key}, valid for two days
// and for `subjectAltName` ("IP:127.0.0.1", "DNS:..."); returns `directory`/`name`.
inline std::string writeCertificate(const std::string& directory, const std::string& name,
                                    const std::string& subjectAltName) {
    const std::string base = directory + "/" + name;
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=" +
        name + " -addext subjectAltName=" + subjectAltName + " -keyout " + base + ".key -out " +
        base + ".crt >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + base);
    return base;
}

// The text `fd` gives up to the next `end`, read on from what `buffer` holds; none when `fd`
// ends or is silent for `timeout`. What follows stays in `buffer`.
inline std::optional<std::string> readUntil(int fd, std::string& buffer, char end,
                                            std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char chunk[65536];
    for (ssize_t n; buffer.find(end) == std::string::npos; buffer.append(chunk, n)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, std::max(0, static_cast<int>(left.count()))) <= 0 ||
            (n = read(fd, chunk, sizeof chunk)) <= 0)
            return std::nullopt;
    }
    std::string text = buffer.substr(0, buffer.find(end));
    buffer.erase(0, text.size() + 1);
    return text;
}

// A child process (the collector, a host) whose standard output is read line by line.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> args) {
        int fds[2] = {-1, -1};
        if (pipe2(fds, O_CLOEXEC) == 0) pid_ = spawn(std::move(args), fds[1]);
        close(fds[1]);
        out_ = fds[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0) exitCode(pid_);
        close(out_);
    }

    // The next line of standard output; none at its end or when the child is silent for
    // `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5s) {
        return readUntil(out_, buffer_, '\n', timeout);
    }

    // The base URL, the word after "listening on" in the first line, or "" after a test failure.
    std::string start() {
        const std::string line = readLine(10s).value_or("(none)");
        if (line.starts_with("listening on ")) return line.substr(13, line.find(' ', 13) - 13);
        ADD_FAILURE() << "first line: " << line;
        return "";
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

// Whether `done()` holds within `timeout`, asked every millisecond.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout;
         !done() && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(1ms);
    return done();
}

// Reads one request whole (the client then has sent all it will send of it); "" when the
// connection ends first.
inline std::string readRequest(int connection) {
    std::string received;
    char chunk[4096];
    for (ssize_t n; (n = ::read(connection, chunk, sizeof chunk)) > 0;) {
        received.append(chunk, static_cast<size_t>(n));
        const size_t headEnd = received.find("\r\n\r\n"), at = received.find("Content-Length: ");
        if (headEnd != std::string::npos &&
            received.size() >=
                headEnd + 4 + (at < headEnd ? std::stoul(received.substr(at + 16)) : 0))
            return received;
    }
    return "";
}

// Sends all of `bytes`; false when the peer hung up first.
inline bool sendAll(int connection, std::string_view bytes) {
    for (ssize_t n; !bytes.empty(); bytes.remove_prefix(static_cast<size_t>(n)))
        if ((n = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return false;
    return true;
}

// An HTTP/1.1 answer with a length: `status` is "200 OK" and the like.
inline std::string httpAnswer(std::string_view status, std::string_view body = "") {
    return "HTTP/1.1 " + std::string(status) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

// The answer of a server that takes every event.
inline std::string answer200(const std::string&) { return httpAnswer("200 OK"); }

// A loopback port of its own. Given `answer`, it serves each connection on a thread of its own,
// answering each request with what `answer` makes of it. Without one it takes connections into
// the kernel's backlog and answers only what a test sends by hand. Not listening, it refuses
// every connection.
class LoopbackServer {
public:
    using Answer = std::function<std::string(const std::string& request)>;
    std::atomic<int> connections{0}, requests{0};  // served so far

    explicit LoopbackServer(Answer answer = {}, bool listening = true) : answer_(answer) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        if (listening) ::listen(fd_, 512);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (answer_) serving_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        ::shutdown(fd_, SHUT_RDWR);  // ends a waiting accept
        if (serving_.joinable()) serving_.join();
        for (int connection : served_) ::shutdown(connection, SHUT_RDWR);
        for (std::thread& thread : threads_) thread.join();
        for (int connection : served_) ::close(connection);
        ::close(fd_);
    }
    std::string url(const std::string& path = "/velto/mob?") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The next connection, or -1 after ten seconds without one; each read on it gives up after
    // ten seconds too.
    int accept() const {
        pollfd waiting{fd_, POLLIN, 0};
        if (::poll(&waiting, 1, 10'000) <= 0) return -1;
        const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        const timeval tenSeconds{10, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &tenSeconds, sizeof tenSeconds);
        return connection;
    }

private:
    void serve() {
        for (;;) {  // until the destructor shuts the port
            const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
            if (connection < 0) return;
            ++connections;
            served_.push_back(connection);
            threads_.emplace_back([this, connection] {
                for (std::string request; !(request = readRequest(connection)).empty();) {
                    const std::string answer = answer_(request);
                    ++requests;  // after the answer: who sees the count sees what it did
                    if (!sendAll(connection, answer)) break;
                }
                ::shutdown(connection, SHUT_RDWR);
            });
        }
    }

    const Answer answer_;
    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port_ = 0;
    std::thread serving_;
    std::vector<int> served_;  // the serving thread's until it ends
    std::vector<std::thread> threads_;
};

// A POST of `body` made by hand, for transfers that must end sooner than the library's own
// (2000 s). True when the client took it.
inline bool post(const std::string& url, double seconds, platform::CompletionHandler completion,
                 std::string body = "{}") {
    platform::HttpRequest request(*platform::URL::fromString(url),
                                  platform::CachePolicy::reloadIgnoringLocalCacheData, seconds);
    request.setHttpMethod("POST");
    request.setHttpBody(std::move(body));
    return platform::current()
        .httpClient->dataTask(std::move(request), std::move(completion))
        ->resume();
}

// Counts the one line each completed request writes, by kind, and drops every other line so
// that large runs measure the library rather than the log.
struct CompletionCounter final : platform::StandardOutput {
    std::atomic<int> total{0}, successes{0}, transportErrors{0};

    void write(std::string_view text) override {
        constexpr std::string_view kCompletion = "requestForVeltoUnit(eventName:eventParams:) -> ";
        size_t at = text.find(kCompletion);
        if (at == std::string_view::npos) return;
        std::string_view message = text.substr(at + kCompletion.size());
        successes += message.starts_with("Data Posted Successfully");
        transportErrors += message.starts_with("Error: calling Post APi Optional(");
        ++total;  // last: whoever sees the total sees the kinds counted
    }
    // Waits until `count` lines came, at most `timeout`.
    bool waitFor(int count, std::chrono::milliseconds timeout) const {
        return waitUntil([&] { return total >= count; }, timeout);
    }
};

// Installs a CompletionCounter as standard output for one test.
struct LoopbackTest : ::testing::Test {
    CompletionCounter lines;
    platform::ScopedPlatform services{[this](platform::Platform& p) { p.standardOutput = &lines; }};
};

}  // namespace VeltoSDK::testing
