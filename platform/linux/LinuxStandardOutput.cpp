#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

thread_local bool signalsBlockedForGood = false;

// A write to a closed pipe raises SIGPIPE, which kills a host that never asked for it. The
// signal is blocked on this thread for the write, and one raised by it is consumed before the
// mask is restored; the host's own dispositions stay as they are. A SIGPIPE already pending
// can only be one the thread had blocked before (an unblocked one is delivered at once), so
// only then is the pending set read, to leave that one alone.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        if (signalsBlockedForGood) return;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
        if (sigismember(&previous_, SIGPIPE) == 1) {
            sigset_t pending;
            sigpending(&pending);
            wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        }
    }
    ~SigpipeGuard() {
        if (raised_ && !wasPending_) {
            const timespec noWait{};
            while (sigtimedwait(&pipe_, nullptr, &noWait) < 0 && errno == EINTR) {
            }
        }
        if (!signalsBlockedForGood) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    void noteBrokenPipe() { raised_ = true; }

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool wasPending_ = false;
    bool raised_ = false;
};

class ProcessStandardOutput final : public StandardOutput {
public:
    void write(std::string_view text) override {
        SigpipeGuard guard;
        // One write call per line keeps lines whole; loop only for short writes.
        while (!text.empty()) {
            ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
            if (written < 0 && errno == EINTR) continue;
            if (written < 0 && errno == EPIPE) guard.noteBrokenPipe();
            if (written <= 0) return;  // closed, full or broken output: drop the line
            text.remove_prefix(static_cast<size_t>(written));
        }
    }
};

}  // namespace

void noteSignalsBlockedForGood() { signalsBlockedForGood = true; }

StandardOutput& standardOutput() {
    static ProcessStandardOutput* instance = new ProcessStandardOutput;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
