#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/StandardOutput.hpp"
#include "support/Loopback.hpp"

// What the reliability tests add to the loopback helpers: a log that counts completion lines,
// certificates of any validity, and the load scale.
namespace VeltoSDK::testing {

// Counts the one line each completed request writes, by kind, and drops every other line so
// that large runs measure the library rather than the log.
class CompletionCounter final : public platform::StandardOutput {
public:
    void write(std::string_view text) override {
        constexpr std::string_view kCompletion = "requestForVeltoUnit(eventName:eventParams:) -> ";
        size_t at = text.find(kCompletion);
        if (at == std::string_view::npos) return;
        std::string_view message = text.substr(at + kCompletion.size());
        if (message.starts_with("Data Posted Successfully"))
            ++success_;
        else if (message.starts_with("Error: calling Post APi Optional("))
            ++transportError_;
        else
            ++other_;
    }
    int total() const { return success_ + transportError_ + other_; }
    int successes() const { return success_; }
    int transportErrors() const { return transportError_; }
    // Waits until `count` lines came, at most `timeout`.
    bool waitFor(int count, std::chrono::milliseconds timeout) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (; total() < count; std::this_thread::sleep_for(10ms))
            if (std::chrono::steady_clock::now() > deadline) return false;
        return true;
    }

private:
    std::atomic<int> success_{0}, transportError_{0}, other_{0};
};

// Load sizes are multiplied by VELTOSDK_TEST_SCALE (0 < scale <= 1) when set, so slow
// sanitizer builds run the same cases with fewer events.
inline int scaled(int count, int atLeast = 1) {
    const char* text = std::getenv("VELTOSDK_TEST_SCALE");
    double scale = text ? std::atof(text) : 1.0;
    if (!(scale > 0 && scale <= 1)) scale = 1.0;
    return std::max(atLeast, static_cast<int>(count * scale));
}

// Writes a self-signed certificate and key to `directory`/`name`.{crt,key}, valid from
// `fromDays` to `untilDays` days from now, for `subjectAltName` ("IP:127.0.0.1", "DNS:...").
TestCertificate writeCertificate(const std::string& directory, const std::string& name,
                                 const std::string& subjectAltName, int fromDays, int untilDays);

}  // namespace VeltoSDK::testing
