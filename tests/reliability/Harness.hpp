#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/StandardOutput.hpp"

// What the reliability tests share: a log that counts completion lines, child processes with a
// bounded wait, certificates, and the load scale.
namespace VeltoSDK::testing {

// Counts the one line each completed request writes, by kind, and drops every other line so
// that large runs measure the library rather than the log.
class CompletionCounter final : public platform::StandardOutput {
public:
    void write(std::string_view text) override;
    int total() const { return success_ + transportError_ + other_; }
    int successes() const { return success_; }
    int transportErrors() const { return transportError_; }
    int others() const { return other_; }
    // Waits until `count` lines came, at most `timeout`.
    bool waitFor(int count, std::chrono::milliseconds timeout) const;

private:
    std::atomic<int> success_{0}, transportError_{0}, other_{0};
};

// Load sizes are multiplied by VELTOSDK_TEST_SCALE (0 < scale <= 1) when set, so slow
// sanitizer builds run the same cases with fewer events.
int scaled(int count, int atLeast = 1);

struct ChildResult {
    bool finished = false;  // within the time allowed
    int status = 0;         // as from waitpid
    bool exitedWith(int code) const;
    std::string describe() const;
};

struct ChildOptions {
    std::vector<std::string> environment;  // added to this process's
    int standardOutput = -1;               // fd to use, or -1 for /dev/null
    std::chrono::milliseconds allowed{std::chrono::seconds(10)};
};

// Runs a program with SIGPIPE at its default disposition, killing it when it overruns.
ChildResult runChild(std::vector<std::string> argv, const ChildOptions& options = {});

// Writes a self-signed certificate and its key to `directory`/`name`.{crt,key}, valid from
// `fromDays` to `untilDays` days from now, for `subjectAltName` ("IP:127.0.0.1", "DNS:...").
// Returns the certificate's path.
std::string writeCertificate(const std::string& directory, const std::string& name,
                             const std::string& subjectAltName, int fromDays, int untilDays);

// A fresh directory under the system's temporary one, removed with its contents.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace VeltoSDK::testing
