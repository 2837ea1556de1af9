#pragma once

// Child processes and a certificate for the suites that talk over loopback.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace VeltoSDK::testing {

using namespace std::chrono_literals;

// Starts `args` with the extra environment entries, standard output on `out` (or discarded)
// and standard error discarded. The test decides which certificates a child trusts. SIGPIPE
// starts at its default, as in a host the test runner did not start.
inline pid_t spawn(std::vector<std::string> args, std::vector<std::string> env = {}, int out = -1) {
    for (char** e = environ; *e; ++e) {
        std::string_view entry = *e;
        if (!entry.starts_with("CURL_CA_BUNDLE=") && !entry.starts_with("SSL_CERT_FILE="))
            env.emplace_back(entry);
    }
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The wait status of `pid`; none, and the process killed, when it runs longer than `allowed`.
inline std::optional<int> waitBounded(pid_t pid, std::chrono::milliseconds allowed = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + allowed;
    for (int status = 0; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(5ms)) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return std::nullopt;
}

inline bool exitedWith(std::optional<int> status, int code) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

// A fresh directory, removed with its contents.
struct TemporaryDirectory {
    std::string path = [] {
        char pattern[] = "/tmp/veltosdk-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    ~TemporaryDirectory() { std::filesystem::remove_all(path); }
};

// A self-signed certificate for 127.0.0.1, made once per test process.
struct TestCertificate {
    std::string certFile, keyFile;
};
inline const TestCertificate& testCertificate() {
    static const TemporaryDirectory dir;
    static const TestCertificate made = [] {
        TestCertificate files{dir.path + "/cert.pem", dir.path + "/key.pem"};
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
            files.keyFile + " -out " + files.certFile + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed");
        return files;
    }();
    return made;
}

// The collector (args[0]) as a child process whose standard output is read line by line.
class Collector {
public:
    explicit Collector(std::vector<std::string> args) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = spawn(std::move(args), {}, fds[1]);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Collector() {
        if (pid_ > 0 && !stopped_) stop(SIGKILL);
        if (out_ >= 0) close(out_);
    }

    // The next line of standard output; none when the collector is silent for `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (size_t newline; (newline = buffer_.find('\n')) == std::string::npos;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{out_, POLLIN, 0};
            char chunk[4096];
            ssize_t n = 0;
            if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0 ||
                (n = read(out_, chunk, sizeof chunk)) <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
        std::string line = buffer_.substr(0, buffer_.find('\n'));
        buffer_.erase(0, line.size() + 1);
        return line;
    }

    // The base URL from the "listening on URL" line, or "" after a test failure.
    std::string start() {
        auto line = readLine(10s);
        if (!line || !line->starts_with("listening on ") || !line->ends_with("/velto/mob?") ||
            line->find("://127.0.0.1:") == std::string::npos) {
            ADD_FAILURE() << "first line: " << line.value_or("(none)");
            return "";
        }
        return line->substr(13);
    }

    // Sends `signal` and waits for the exit: the wait status, or none after 10 s.
    std::optional<int> stop(int signal) {
        kill(pid_, signal);
        stopped_ = true;
        return waitBounded(pid_);
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool stopped_ = false;
    std::string buffer_;
};

}  // namespace VeltoSDK::testing
