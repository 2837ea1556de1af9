#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace VeltoSDK::testing {

// The collector as a child process whose standard output is read line by line.
class Collector {
public:
    explicit Collector(std::vector<std::string> args, const char* path = VELTO_COLLECTOR_PATH) {
        args.insert(args.begin(), path);
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }

    ~Collector() {
        if (pid_ > 0 && !exitStatus_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    // The next line of standard output, or none when the collector is silent for `timeout`.
    std::optional<std::string> readLine(
        std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{out_, POLLIN, 0};
            if (left <= std::chrono::milliseconds(0) ||
                poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[4096];
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads the "listening on URL" line and returns the port, or 0.
    int start() {
        using namespace std::chrono_literals;
        auto line = readLine(10s);
        const std::string prefix = "listening on ";
        const std::string host = "://127.0.0.1:";
        size_t hostAt = line ? line->find(host) : std::string::npos;
        if (!line || !line->starts_with(prefix) || hostAt == std::string::npos ||
            !line->ends_with("/velto/mob?")) {
            ADD_FAILURE() << "first line: " << line.value_or("(none)");
            return 0;
        }
        baseURL_ = line->substr(prefix.size());
        return std::stoi(line->substr(hostAt + host.size()));
    }

    const std::string& baseURL() const { return baseURL_; }

    // Sends `signal` and waits for the exit; the wait status, or none after 10 s.
    std::optional<int> stop(int signal) {
        kill(pid_, signal);
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) return exitStatus_ = status;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::string baseURL_;
    std::optional<int> exitStatus_;
};

}  // namespace VeltoSDK::testing
