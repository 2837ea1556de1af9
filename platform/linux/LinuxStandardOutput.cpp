#include "platform/linux/LinuxStandardOutput.hpp"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>

#include "platform/ForkSafety.hpp"
#include "platform/linux/Linux.hpp"
#include "platform/linux/LockSoon.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// The longest a line waits for an output that does not take it. Once one was dropped, the
// next ones are tried once without waiting, until one gets through.
constexpr std::chrono::milliseconds kPatience{5};
// How often the descriptor is looked at again (what it refers to, and SIGPIPE's disposition),
// so a host that points standard output elsewhere is followed within this time.
constexpr long kRecheckNanoseconds = 100'000'000;

// How long a line tries for the output's lock before it waits for it. Another thread holds it
// for one write, a microsecond or two.
constexpr std::chrono::microseconds kLockPatience{5};

thread_local bool signalsBlockedForGood = false;

// A write to a pipe without a reader raises SIGPIPE, which kills a host that never asked for
// it. The signal is blocked on this thread for the write, and one raised by it is consumed
// before the mask is restored; the host's own dispositions stay as they are. A SIGPIPE already
// pending can only be one the thread had blocked before (an unblocked one is delivered at once),
// so only then is the pending set read, to leave that one alone.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
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
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;
    void noteBrokenPipe() { raised_ = true; }

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool wasPending_ = false;
    bool raised_ = false;
};

// How lines reach what the descriptor refers to, chosen by its kind. Each way makes one system
// call per line where it can: the mask calls around a write are needed only for a pipe, and
// only while SIGPIPE is not ignored.
enum class Route {
    none,     // closed: lines go nowhere, and are not counted
    discard,  // /dev/null: nothing to write
    direct,   // a file: writes never wait long and raise no signal
    socket,   // send() without waiting and without SIGPIPE
    own,      // a pipe or terminal, opened again non-blocking for the library alone
    polled,   // one that cannot be opened again: written only when poll() says it can take more
};

class DescriptorOutput final : public StandardOutput {
public:
    explicit DescriptorOutput(int fd) : fd_(fd) {}

    void write(std::string_view text) override {
        // Nothing to do until the next look at the descriptor while lines go nowhere: a line
        // then takes no lock, which the other threads' lines would make it wait for.
        if (coarseNanoseconds() < writeNothingUntil_.load(std::memory_order_acquire)) return;
        std::unique_lock lock = lockSoon(mutex_, kLockPatience);
        recheckWhenDue();
        if (route_ == Route::none || route_ == Route::discard) {
            writeNothingUntil_.store(nextCheck_, std::memory_order_release);
            return;
        }
        std::string fresh;
        if (lineCut_) {  // the line that was cut ends here, so this one starts whole
            fresh.reserve(text.size() + 1);
            fresh.append("\n").append(text);
            text = fresh;
        }
        size_t written = writeWithin(text);
        if (written == text.size()) {
            lineCut_ = false;
            waiting_ = true;
            if (dropped_ > 0) unreported_.fetch_add(std::exchange(dropped_, 0));
            return;
        }
        // Each line whose line feed did not go out is lost; a cut one is ended by the next
        // write. The line feed put before this text ends an earlier line, already counted.
        const size_t ownStart = fresh.empty() ? 0 : 1;
        dropped_ += static_cast<size_t>(
                        std::count(text.begin() + std::max(written, ownStart), text.end(), '\n')) +
                    (text.ends_with('\n') ? 0 : 1);
        waiting_ = false;
        if (written > 0) lineCut_ = text[written - 1] != '\n';
    }

    size_t takeDroppedLineCount() override {
        if (unreported_.load(std::memory_order_relaxed) == 0) return 0;
        return unreported_.exchange(0);
    }

private:
    static long long coarseNanoseconds() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // no system call
        return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
    }

    void recheckWhenDue() {
        long long nanoseconds = coarseNanoseconds();
        if (checked_ && nanoseconds < nextCheck_) return;
        checked_ = true;
        nextCheck_ = nanoseconds + kRecheckNanoseconds;
        struct sigaction disposition {};
        sigaction(SIGPIPE, nullptr, &disposition);
        sigpipeIgnored_ = disposition.sa_handler == SIG_IGN;
        struct stat status {};
        if (fstat(fd_, &status) != 0) {
            closeOwn();
            route_ = Route::none;
            return;
        }
        if (route_ != Route::none && status.st_dev == target_.st_dev &&
            status.st_ino == target_.st_ino && status.st_rdev == target_.st_rdev) {
            return;
        }
        target_ = status;
        closeOwn();
        isPipe_ = S_ISFIFO(status.st_mode);
        if (S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3)) {
            route_ = Route::discard;
        } else if (S_ISSOCK(status.st_mode)) {
            route_ = Route::socket;
        } else if (isPipe_ || S_ISCHR(status.st_mode)) {
            // A description of its own: non-blocking for the library, the host's untouched.
            std::string path = "/proc/self/fd/" + std::to_string(fd_);
            own_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            route_ = own_ >= 0 ? Route::own : Route::polled;
        } else {
            route_ = Route::direct;
        }
    }

    void closeOwn() {
        if (own_ >= 0) ::close(own_);
        own_ = -1;
    }

    // How much of `text` went out, waiting at most kPatience for room.
    size_t writeWithin(std::string_view text) {
        std::optional<SigpipeGuard> guard;
        if (isPipe_ && !sigpipeIgnored_ && !signalsBlockedForGood) guard.emplace();
        const int fd = route_ == Route::own ? own_ : fd_;
        const auto deadline =
            std::chrono::steady_clock::now() + (waiting_ ? kPatience : kPatience * 0);
        size_t done = 0;
        while (done < text.size()) {
            if (route_ == Route::polled && !writable(fd, deadline)) break;
            ssize_t n = route_ == Route::socket
                            ? ::send(fd, text.data() + done, text.size() - done,
                                     MSG_DONTWAIT | MSG_NOSIGNAL)
                            : ::write(fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!writable(fd, deadline)) break;
            } else {
                if (n < 0 && errno == EPIPE && guard) guard->noteBrokenPipe();
                break;  // closed, full or broken output
            }
        }
        return done;
    }

    // Waits until `fd` can take more, at most until `deadline`.
    static bool writable(int fd, std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ask{fd, POLLOUT, 0};
            int ready = ::poll(&ask, 1, static_cast<int>(std::max<long long>(0, left.count())));
            if (ready < 0 && errno == EINTR) continue;
            return ready > 0 && (ask.revents & POLLOUT) && !(ask.revents & (POLLERR | POLLHUP));
        }
    }

    const int fd_;
    ForkSafeMutex mutex_;
    // Guarded by `mutex_`.
    Route route_ = Route::none;
    struct stat target_ {};
    bool checked_ = false;
    long long nextCheck_ = 0;
    bool sigpipeIgnored_ = false;
    bool isPipe_ = false;
    int own_ = -1;
    bool waiting_ = true;   // false while lines are being dropped: no waiting then
    bool lineCut_ = false;  // part of a long line went out, the rest did not
    size_t dropped_ = 0;    // not yet followed by a line that got through
    std::atomic<size_t> unreported_{0};
    // While lines go nowhere: the time of the next look, before which a line is not written.
    std::atomic<long long> writeNothingUntil_{0};
};

}  // namespace

void noteSignalsBlockedForGood() { signalsBlockedForGood = true; }

std::unique_ptr<StandardOutput> makeDescriptorOutput(int fd) {
    return std::make_unique<DescriptorOutput>(fd);
}

StandardOutput& standardOutput() {
    static StandardOutput* instance = makeDescriptorOutput(STDOUT_FILENO).release();
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
