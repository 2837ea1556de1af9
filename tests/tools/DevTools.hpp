#pragma once

// A headless browser and the smallest client of its DevTools protocol that can drive one page:
// a WebSocket on loopback, one command at a time, events in between skipped.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {

class DevTools {
public:
    using json = nlohmann::json;

    // Connects to ws://127.0.0.1:`port``path`; throws when the browser refuses.
    DevTools(int port, const std::string& path) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect to the DevTools port");
        send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
             "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (buffer_.find("\r\n\r\n") == std::string::npos) fill(deadline);
        if (!buffer_.starts_with("HTTP/1.1 101"))
            throw std::runtime_error("no WebSocket: " + buffer_.substr(0, buffer_.find('\r')));
        buffer_.erase(0, buffer_.find("\r\n\r\n") + 4);
    }
    ~DevTools() { ::close(fd_); }

    // Runs one command and returns its result; throws on an error answer or after 30 s.
    json call(const std::string& method, json params = json::object()) {
        const int id = ++lastId_;
        const std::string text = json{{"id", id}, {"method", method}, {"params", params}}.dump();
        std::string frame{'\x81'};  // one text frame, masked as a client must
        if (text.size() < 126) {
            frame += static_cast<char>(0x80 | text.size());
        } else {
            frame += static_cast<char>(0x80 | 127);
            for (int shift = 56; shift >= 0; shift -= 8)
                frame += static_cast<char>((text.size() >> shift) & 0xFF);
        }
        const char mask[4] = {0x12, 0x34, 0x56, 0x78};
        frame.append(mask, 4);
        for (size_t i = 0; i < text.size(); ++i) frame += static_cast<char>(text[i] ^ mask[i % 4]);
        send(frame);

        const auto deadline = std::chrono::steady_clock::now() + 30s;
        for (;;) {
            json message = json::parse(receive(deadline));
            if (message.value("id", 0) != id) continue;  // an event, or a late answer
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
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (evaluate(condition) == true) return true;
            std::this_thread::sleep_for(100ms);
        }
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
    void send(const std::string& data) {
        if (::send(fd_, data.data(), data.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(data.size()))
            throw std::runtime_error("cannot write to the browser");
    }

    void fill(std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd_, POLLIN, 0};
        char chunk[65536];
        ssize_t n = 0;
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0 ||
            (n = ::read(fd_, chunk, sizeof chunk)) <= 0)
            throw std::runtime_error("the browser went silent");
        buffer_.append(chunk, static_cast<size_t>(n));
    }

    std::string take(size_t size, std::chrono::steady_clock::time_point deadline) {
        while (buffer_.size() < size) fill(deadline);
        std::string taken = buffer_.substr(0, size);
        buffer_.erase(0, size);
        return taken;
    }

    // The next whole text message; the browser's frames are never masked.
    std::string receive(std::chrono::steady_clock::time_point deadline) {
        std::string message;
        for (bool final = false; !final;) {
            const std::string head = take(2, deadline);
            final = head[0] & 0x80;
            uint64_t size = head[1] & 0x7F;
            if (size >= 126) {
                const std::string extended = take(size == 126 ? 2 : 8, deadline);
                size = 0;
                for (char byte : extended) size = (size << 8) | static_cast<uint8_t>(byte);
            }
            if ((head[0] & 0x0F) == 0x8) throw std::runtime_error("the browser closed the page");
            message += take(size, deadline);
        }
        return message;
    }

    int fd_;
    int lastId_ = 0;
    std::string buffer_;
};

// Headless Chromium with a fresh profile and DevTools on a free loopback port.
class Browser {
public:
    Browser() {
        const std::string binary = findInPath("chromium");
        if (binary.empty()) return;
        pid_ = spawn({binary, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                      "--no-first-run", "--disable-background-networking",
                      "--disable-component-update", "--disable-sync",
                      "--user-data-dir=" + profile_.path, "--remote-debugging-address=127.0.0.1",
                      "--remote-debugging-port=0", "about:blank"});
        // Once it listens, the browser writes its port, then the browser target's path.
        const std::string portFile = profile_.path + "/DevToolsActivePort";
        for (int attempt = 0; attempt < 600 && pid_ > 0; ++attempt) {
            int port = 0;
            std::string path;
            if (std::ifstream(portFile) >> port >> path && path.starts_with("/devtools/")) {
                port_ = port;
                return;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
            std::this_thread::sleep_for(100ms);
        }
    }
    ~Browser() {
        if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0) exitCode(pid_, 10s);
    }
    bool started() const { return port_ > 0; }
    int port() const { return port_; }

    // The WebSocket path of the first page.
    std::string pagePath() const {
        httplib::Client client("127.0.0.1", port_);
        auto answer = client.Get("/json/list");
        if (!answer) throw std::runtime_error("no DevTools target list");
        for (const auto& target : nlohmann::json::parse(answer->body)) {
            if (target["type"] != "page") continue;
            std::string url = target["webSocketDebuggerUrl"];
            return url.substr(url.find('/', std::string_view("ws://").size()));
        }
        throw std::runtime_error("no page target");
    }

private:
    static std::string findInPath(const std::string& name) {
        const char* path = std::getenv("PATH");
        std::string_view rest = path ? path : "";
        while (!rest.empty()) {
            std::string_view dir = rest.substr(0, rest.find(':'));
            rest.remove_prefix(std::min(rest.size(), dir.size() + 1));
            std::string candidate = std::string(dir) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        return "";
    }

    TemporaryDirectory profile_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace VeltoSDK::testing
