#pragma once

// Headless Chromium driven over its DevTools pipe (commands in on fd 3, answers out on fd 4, each
// message ended by a NUL; one socket serves both): one page, one command at a time, events in
// between skipped.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {

class Browser {
public:
    using json = nlohmann::json;

    Browser() {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
        std::string profile = "--user-data-dir=" + profile_.path;
        const char* argv[] = {"chromium",
                              "--headless",
                              "--no-sandbox",
                              "--disable-gpu",
                              "--no-first-run",
                              "--disable-background-networking",
                              "--disable-component-update",
                              "--disable-sync",
                              "--remote-debugging-pipe",
                              profile.c_str(),
                              nullptr};
        pid_ = ::fork();
        if (pid_ == 0) {
            // A copy above 4 first: dup2 onto the same number would keep close-on-exec.
            const int devNull = ::open("/dev/null", O_WRONLY), end = ::fcntl(ends[1], F_DUPFD, 10);
            ::dup2(end, 3);
            ::dup2(end, 4);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            ::execvp(argv[0], const_cast<char**>(argv));
            ::_exit(127);
        }
        ::close(ends[1]);
        fd_ = ends[0];
        try {
            json target = call("Target.createTarget", {{"url", "about:blank"}});
            session_ = call("Target.attachToTarget",
                            {{"targetId", target["targetId"]}, {"flatten", true}})["sessionId"];
        } catch (const std::exception&) {
        }
    }
    ~Browser() {
        ::close(fd_);
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0) exitCode(pid_, 10s);
    }
    bool started() const { return !session_.empty(); }

    // Runs one command on the page and returns its result; throws on an error answer or after
    // 30 s.
    json call(const std::string& method, json params = json::object()) {
        json command = {{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (!session_.empty()) command["sessionId"] = session_;
        const std::string text = command.dump() + '\0';
        if (::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(text.size()))
            throw std::runtime_error("cannot write to the browser");
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        for (;;) {
            json message = json::parse(receive(deadline));
            if (message.value("id", 0) != lastId_) continue;  // an event
            if (message.contains("error"))
                throw std::runtime_error(method + ": " + message["error"].dump());
            return message["result"];
        }
    }

    // The value of a JavaScript expression in the page.
    json evaluate(const std::string& expression) {
        json result =
            call("Runtime.evaluate",
                 {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
        if (result.contains("exceptionDetails"))
            throw std::runtime_error(expression + ": " + result["exceptionDetails"].dump());
        return result["result"].value("value", json());
    }

    // Polls `condition` (a JavaScript expression) for up to 20 s.
    bool waitFor(const std::string& condition) {
        for (int attempt = 0; attempt < 200; ++attempt, std::this_thread::sleep_for(100ms))
            if (evaluate(condition) == true) return true;
        return false;
    }

    // A real click in the middle of the element `selector` finds.
    void click(const std::string& selector) {
        json point = evaluate("(() => { const r = document.querySelector(" + json(selector).dump() +
                              ").getBoundingClientRect(); return [r.x + r.width / 2, "
                              "r.y + r.height / 2]; })()");
        for (const char* type : {"mousePressed", "mouseReleased"})
            call("Input.dispatchMouseEvent", {{"type", type},
                                              {"x", point[0]},
                                              {"y", point[1]},
                                              {"button", "left"},
                                              {"clickCount", 1}});
    }

private:
    std::string receive(std::chrono::steady_clock::time_point deadline) {
        size_t end;
        while ((end = buffer_.find('\0')) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd_, POLLIN, 0};
            char chunk[65536];
            ssize_t n = 0;
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0 ||
                (n = ::read(fd_, chunk, sizeof chunk)) <= 0)
                throw std::runtime_error("the browser went silent");
            buffer_.append(chunk, static_cast<size_t>(n));
        }
        std::string message = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return message;
    }

    TemporaryDirectory profile_;
    pid_t pid_ = -1;
    int fd_ = -1, lastId_ = 0;
    std::string session_, buffer_;
};

}  // namespace VeltoSDK::testing
