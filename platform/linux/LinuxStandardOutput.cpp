#include <errno.h>
#include <unistd.h>

#include "Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

class ProcessStandardOutput final : public StandardOutput {
public:
    void write(std::string_view text) override {
        // One write call per line keeps lines whole; loop only for short writes.
        while (!text.empty()) {
            ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return;  // closed or broken output: drop the line
            text.remove_prefix(static_cast<size_t>(written));
        }
    }
};

}  // namespace

StandardOutput& standardOutput() {
    static ProcessStandardOutput* instance = new ProcessStandardOutput;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
