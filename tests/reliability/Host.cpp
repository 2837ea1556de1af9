// A host app in a process of its own, for the tests that watch a whole process.
//   reliability_host fire <count> <event> <base-url>...  fires `count` events at each base URL;
//                    exits 0 when all were handed over and their lines written
//   reliability_host exit <count> <event> <base-url>...  fires and returns from main at once
//   reliability_host forks <count> <base-url> <child-url>  forks `count` times while a thread
//                    fires; exits 0 when every child fired at its own URL, flushed and exited
//                    within 10 s, and the parent fired there after them
//   reliability_host grow <count> <base-url>  forks once while a thread fires; exits 0 when the
//                    child's memory grew by less than 4 MB while it fired `count` events
#include <sys/wait.h>
#include <unistd.h>

#include <VeltoSDK/VeltoSDK.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using VeltoSDK::Event;
using VeltoSDK::Velto;
using namespace std::chrono_literals;

// Waits for `child` at most `allowed`; its exit code, or -1 (and the child killed).
int waitFor(pid_t child, std::chrono::milliseconds allowed) {
    const auto deadline = std::chrono::steady_clock::now() + allowed;
    for (int status = 0; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(1ms)) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

// Fires `count` events, flushing now and then so that none wait long.
bool fireMany(int count) {
    bool ok = true;
    for (int i = 1; i <= count; ++i) {
        Velto::fireEvent(Event::LEAD);
        if (i % 500 == 0 || i == count) ok = Velto::flush(20) && ok;
    }
    return ok;
}

// Forks `forks` times while another thread fires without pause; `inChild` is the child's exit
// code. 0 when every child exited with 0 within `allowed`.
template <typename Child>
int forkWhileFiring(int forks, std::chrono::milliseconds allowed, Child inChild) {
    std::atomic<bool> stop{false};
    std::thread firing([&] {
        for (int i = 1; !stop && i < 10'000'000; ++i) {
            Velto::fireEvent(Event::PURCHASE);
            if (i % 100 == 0) Velto::flush(10);
        }
    });
    std::this_thread::sleep_for(50ms);
    int failures = 0;
    for (int n = 0; n < forks; ++n) {
        std::this_thread::sleep_for(std::chrono::microseconds(n % 7 * 300));
        const pid_t child = ::fork();
        if (child == 0) ::_exit(inChild());
        int code = child < 0 ? -2 : waitFor(child, allowed);
        if (code != 0) std::fprintf(stderr, "child %d ended with %d\n", n, code), ++failures;
    }
    stop = true;
    firing.join();
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const std::string mode = argv[1];
    const int count = std::atoi(argv[2]);
    Velto::initialize("px-host");
    if (mode == "fire" || mode == "exit") {
        bool handedOver = true;
        for (int u = 4; u < argc; ++u) {
            Velto::shared().setBaseURL(argv[u]);
            for (int i = 0; i < count; ++i) handedOver = Velto::fireEvent(argv[3]) && handedOver;
        }
        return mode == "exit" || (Velto::flush(20) && handedOver) ? 0 : 1;
    }
    Velto::shared().setBaseURL(argv[3]);
    if (mode == "forks" && argc > 4) {
        // A server of its own, so the child's event does not queue behind the parent's.
        const std::string childURL = argv[4];
        const int failed = forkWhileFiring(count, 10s, [&childURL] {
            Velto::shared().setBaseURL(childURL);
            return Velto::fireEvent(Event::LEAD) && Velto::flush(10) ? 0 : 1;
        });
        Velto::shared().setBaseURL(childURL);
        const bool sent = Velto::flush(60) && Velto::fireEvent(Event::LEAD) && Velto::flush(20);
        if (!sent) std::fprintf(stderr, "the parent's last event failed\n");
        return sent ? failed : 1;
    }
    return forkWhileFiring(1, 120s, [count] {
        if (!fireMany(2'000)) return 3;  // what the first events make once stays out
        const long before = residentBytes();
        if (!fireMany(count)) return 3;
        const long grown = residentBytes() - before;
        std::fprintf(stderr, "grew by %ld bytes\n", grown);
        return grown < 4 * 1024 * 1024 ? 0 : 4;
    });
}
