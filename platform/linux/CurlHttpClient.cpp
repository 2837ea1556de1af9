#include "platform/linux/CurlHttpClient.hpp"

#include <curl/curl.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ForkSafety.hpp"
#include "platform/linux/CurlWorker.hpp"
#include "platform/linux/ForkSafety.hpp"
#include "platform/linux/Linux.hpp"
#include "platform/linux/LockSoon.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// A task's memory comes from the allocator of the thread that made it. When the worker frees
// it, the two threads take turns at that thread's allocator lock, and the caller waits there,
// asleep, once in tens of events. So a completed task goes back to the callers, each
// submission freeing up to two (one event makes one), and the worker frees it itself only
// beyond a small backlog or once nothing is outstanding, so that none is kept while idle.
constexpr std::size_t kMaxFinishedKept = 256;
constexpr std::size_t kFinishedFreedPerSubmit = 2;
// How long a submission tries for the client's lock before it waits for it. The worker holds
// it for well under a microsecond at a time.
constexpr std::chrono::microseconds kSubmitLockPatience{5};

// Bumped in every forked child, so a child knows which clients are its parent's.
std::atomic<unsigned> forkGeneration{0};

// Every client whose worker was started, for parking them at exit. A lock-free list: the
// exit handler must not wait for a lock another thread may hold.
std::atomic<CurlClientState*> registry{nullptr};

void parkWorkersAtExit();

// Once per process image: curl's global set-up, then the exit handler. atexit handlers run in
// reverse order, so ours runs before the TLS library's own clean-up that curl's set-up
// registered, and no worker is in the middle of a handshake when that runs.
void initialiseCurlOnce() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        std::atexit(parkWorkersAtExit);
        return true;
    }();
    (void)done;
}

// Whether the worker may do curl's set-up. An exit that begins meanwhile must not run the TLS
// library's clean-up under it, so that clean-up is registered now, on this thread, and our exit
// handler after it: ours runs first and waits for the worker to park. The TLS library is found at
// run time, in curl's dependencies; when curl uses another one, or it cannot be found, the
// caller does curl's set-up as before.
bool workerMaySetUpCurl() {
    static const bool mayIt = [] {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        if (!info || !info->ssl_version || std::strncmp(info->ssl_version, "OpenSSL/", 8) != 0) {
            return false;
        }
        using Init = int (*)(std::uint64_t options, const void* settings);
        auto init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "OPENSSL_init_crypto"));
        // OPENSSL_INIT_ATFORK. Asking for no option at all returns at once; an option not yet
        // set up makes the call do the base set-up, which registers the clean-up, and this one
        // changes nothing else.
        constexpr std::uint64_t kAtFork = 0x00020000;
        if (!init || init(kAtFork, nullptr) != 1) return false;
        std::atexit(parkWorkersAtExit);
        return true;
    }();
    return mayIt;
}

}  // namespace

void resetHttpClientAfterFork() { forkGeneration.fetch_add(1); }

CurlClientOptions CurlClientOptions::fromEnvironment() {
    CurlClientOptions options;
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            options.caBundle = value;
            break;
        }
    }
    return options;
}

class CurlClientState final : public WorkerQueue {
public:
    explicit CurlClientState(CurlClientOptions clientOptions)
        : generation(forkGeneration.load()), options(std::move(clientOptions)) {}

    const unsigned generation;
    const CurlClientOptions options;

    std::atomic<bool> launched{false};
    std::atomic<bool> madeTasks{false};
    std::atomic<bool> stopping{false};
    std::atomic<bool> parked{false};
    std::atomic<std::thread::id> workerId{};
    CurlClientState* nextInRegistry = nullptr;

    // Guarded by `mutex`.
    std::condition_variable completed;
    std::vector<std::unique_ptr<CurlTask>> incoming;
    // Completed tasks, left for the callers' threads to free (see submit).
    std::vector<std::unique_ptr<CurlTask>> finished;
    // Admitted ids in order, from the oldest not yet completed on; completed ones leave once
    // every older one has.
    struct Admitted {
        std::uint64_t id;
        std::size_t bodyBytes;
        bool done;
    };
    std::deque<Admitted> admitted;
    std::size_t outstanding = 0;  // admitted and not yet completed
    std::size_t outstandingBodyBytes = 0;
    std::vector<std::uint64_t> flushingUpTo;  // one entry per waiting flush
    std::uint64_t lastId = 0;
    std::map<CompletionHandler, std::size_t> refused;
    std::uint64_t firstRefusedId = 0;     // 0: none waiting to be told
    std::uint64_t firstDeliveringId = 0;  // 0: none being told
    CURLM* multi = nullptr;               // the worker's, so callers can wake it
    bool wakeRequested = false;

    bool belongsToThisProcess() const { return generation == forkGeneration.load(); }

    // Callers hold `mutex`. One wake-up per batch: the worker clears the request when it
    // takes the batch.
    void wakeLocked() {
        if (wakeRequested || !multi) return;
        wakeRequested = true;
        curl_multi_wakeup(multi);
    }

    void launchWorkerOnce();
    struct WorkerStart {
        CurlClientState* state;
        bool setsUpCurl;
        cpu_set_t allowed;  // the creator's cores
        bool widenAfterSetUp;
    };
    [[noreturn]] static void* runWorkerThread(void* start);
    // False when the task was refused: its completion runs later, on the worker.
    bool submit(std::unique_ptr<CurlTask> task);
    bool allCompletedUpTo(std::uint64_t id) const {
        return (admitted.empty() || admitted.front().id > id) &&
               (firstRefusedId == 0 || firstRefusedId > id) &&
               (firstDeliveringId == 0 || firstDeliveringId > id);
    }

    // WorkerQueue, called on the worker.
    bool shouldStop() override { return stopping.load(); }
    [[noreturn]] void park() override {
        parked.store(true);
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    void setMulti(CURLM* newMulti) override {
        std::lock_guard lock(mutex);
        if (multi) curl_multi_cleanup(multi);
        multi = newMulti;
    }
    void takeIncoming(std::vector<std::unique_ptr<CurlTask>>& into) override {
        std::lock_guard lock(mutex);
        wakeRequested = false;
        incoming.swap(into);
    }
    bool hasNews() override {
        std::lock_guard lock(mutex);
        return !incoming.empty() || !refused.empty();
    }
    void deliverRefusals() override;
    void markCompleted(std::unique_ptr<CurlTask> task) override {
        bool flushDone = false;
        std::vector<std::unique_ptr<CurlTask>> idle;  // freed here, after the lock
        {
            std::lock_guard lock(mutex);
            auto it = std::lower_bound(
                admitted.begin(), admitted.end(), task->id,
                [](const Admitted& entry, std::uint64_t wanted) { return entry.id < wanted; });
            if (it == admitted.end() || it->id != task->id || it->done) return;
            it->done = true;
            --outstanding;
            outstandingBodyBytes -= it->bodyBytes;
            while (!admitted.empty() && admitted.front().done) admitted.pop_front();
            flushDone = anyFlushDoneLocked();
            if (outstanding == 0) {
                idle.swap(finished);
            } else if (finished.size() < kMaxFinishedKept) {
                finished.push_back(std::move(task));
            }
        }
        if (flushDone) completed.notify_all();
    }
    // Waking a flush that must go on waiting would cost a context switch per completion.
    bool anyFlushDoneLocked() const {
        return std::any_of(flushingUpTo.begin(), flushingUpTo.end(),
                           [this](std::uint64_t id) { return allCompletedUpTo(id); });
    }
    const std::string& caBundle() const override { return options.caBundle; }

    std::mutex mutex;
};

namespace {

void parkWorkersAtExit() {
    using namespace std::chrono;
    std::vector<CurlClientState*> ours;
    for (auto* state = registry.load(); state; state = state->nextInRegistry) {
        if (!state->belongsToThisProcess()) continue;
        state->stopping.store(true);
        std::lock_guard lock(state->mutex);
        if (state->multi) curl_multi_wakeup(state->multi);
        ours.push_back(state);
    }
    // Bounded: a worker stuck in a completion handler must not hold up the exit.
    auto deadline = steady_clock::now() + seconds(1);
    for (auto* state : ours) {
        if (state->workerId.load() == std::this_thread::get_id()) continue;
        while (!state->parked.load() && steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
}

}  // namespace

void CurlClientState::launchWorkerOnce() {
    if (launched.load(std::memory_order_acquire) || launched.exchange(true)) return;
    const bool workerSetsUpCurl = workerMaySetUpCurl();
    if (!workerSetsUpCurl) initialiseCurlOnce();
    nextInRegistry = registry.load();
    while (!registry.compare_exchange_weak(nextInRegistry, this)) {
    }
    // The worker starts with every signal blocked: the host's handlers never run on it, and a
    // write to a closed socket cannot raise SIGPIPE in the process.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    auto* start = new WorkerStart{this, workerSetsUpCurl, {}, false};  // the worker frees it
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    // A new thread shares its creator's core until the scheduler moves it, and curl's set-up
    // would take turns with the caller's first event there. So the worker starts on another
    // core, where there is one, and may use them all once set up.
    if (pthread_getaffinity_np(pthread_self(), sizeof start->allowed, &start->allowed) == 0) {
        cpu_set_t others = start->allowed;
        const int here = sched_getcpu();
        if (here >= 0 && here < CPU_SETSIZE && CPU_ISSET(here, &others)) CPU_CLR(here, &others);
        if (CPU_COUNT(&others) > 0 && CPU_COUNT(&others) < CPU_COUNT(&start->allowed) &&
            pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0) {
            start->widenAfterSetUp = true;
        }
    }
    pthread_t worker;
    if (pthread_create(&worker, &attributes, runWorkerThread, start) != 0) {
        delete start;
        launched.store(false);  // a later transfer tries again
    }
    pthread_attr_destroy(&attributes);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void* CurlClientState::runWorkerThread(void* argument) {
    const WorkerStart start = *static_cast<WorkerStart*>(argument);
    delete static_cast<WorkerStart*>(argument);
    CurlClientState& state = *start.state;
    state.workerId.store(std::this_thread::get_id());
    pthread_setname_np(pthread_self(), kWorkerThreadName);
    noteSignalsBlockedForGood();
    // curl's set-up (the TLS library's above all) costs more than building and handing over an
    // event. Callers need none of it: they use curl's URL parser, which works without it, and
    // the multi handle only once the worker has published it.
    if (start.setsUpCurl) initialiseCurlOnce();
    if (start.widenAfterSetUp) {
        pthread_setaffinity_np(pthread_self(), sizeof start.allowed, &start.allowed);
    }
    runWorker(state);
}

bool CurlClientState::submit(std::unique_ptr<CurlTask> task) {
    launchWorkerOnce();
    // The clock is read before the lock, and without a system call.
    task->deadline = deadlineFor(task->request.timeoutInterval());
    const std::size_t bodyBytes = task->request.httpBody().size();
    std::unique_ptr<CurlTask> reclaimed[kFinishedFreedPerSubmit];  // freed after the lock
    std::unique_lock lock = lockSoon(mutex, kSubmitLockPatience);
    for (auto& slot : reclaimed) {
        if (finished.empty()) break;
        slot = std::move(finished.back());
        finished.pop_back();
    }
    std::uint64_t id = ++lastId;
    if (outstanding >= options.maxTransfers ||
        bodyBytes > kMaxPendingBodyBytes - outstandingBodyBytes) {
        // Only a count per handler is kept, so refusals cannot grow memory either.
        ++refused[task->completion];
        if (firstRefusedId == 0) firstRefusedId = id;
        wakeLocked();
        return false;
    }
    task->id = id;
    admitted.push_back({id, bodyBytes, false});
    outstandingBodyBytes += bodyBytes;
    incoming.push_back(std::move(task));
    // With a host's worth of transfers outstanding, the worker has an answer coming (or
    // checks its deadlines) soon, and takes this one then. Waking it for each event
    // would cost a turn over every connection per event.
    if (outstanding++ < kMaxConnectionsPerHost) wakeLocked();
    return true;
}

void CurlClientState::deliverRefusals() {
    std::map<CompletionHandler, std::size_t> batch;
    {
        std::lock_guard lock(mutex);
        if (refused.empty()) return;
        batch.swap(refused);
        firstDeliveringId = std::exchange(firstRefusedId, 0);
    }
    const TransportError error{kSaturatedErrorCode,
                               "HTTP client saturated: " + std::to_string(options.maxTransfers) +
                                   " transfers or " + std::to_string(kMaxPendingBodyBytes >> 20) +
                                   " MiB of request bodies already waiting or running; request "
                                   "dropped",
                               true};
    for (const auto& [completion, count] : batch) {
        for (std::size_t i = 0; i < count; ++i) runCompletion(completion, {}, nullptr, &error);
    }
    bool flushDone = false;
    {
        std::lock_guard lock(mutex);
        firstDeliveringId = 0;
        flushDone = anyFlushDoneLocked();
    }
    if (flushDone) completed.notify_all();
}

namespace {

class CurlDataTask final : public DataTask {
public:
    CurlDataTask(CurlClientState& state, std::unique_ptr<CurlTask> task)
        : state_(state), task_(std::move(task)) {}

    bool resume() override {
        if (resumed_.exchange(true)) return true;
        if (!state_.belongsToThisProcess()) {
            // Made before a fork: the child sends it with its own client.
            return httpClient().dataTask(std::move(task_->request), task_->completion)->resume();
        }
        return state_.submit(std::move(task_));
    }

private:
    CurlClientState& state_;
    std::unique_ptr<CurlTask> task_;
    std::atomic<bool> resumed_{false};
};

}  // namespace

CurlHttpClient::CurlHttpClient(CurlClientOptions options) {
    installForkHandlers();
    state_ = new CurlClientState(std::move(options));
}

CurlHttpClient::~CurlHttpClient() {
    if (!state_->madeTasks.load()) delete state_;
}

void CurlHttpClient::start() {
    if (!belongsToThisProcess()) return httpClient().start();
    state_->madeTasks.store(true);  // the worker uses the state from now on
    state_->launchWorkerOnce();
}

bool CurlHttpClient::belongsToThisProcess() const { return state_->belongsToThisProcess(); }

std::shared_ptr<DataTask> CurlHttpClient::dataTask(HttpRequest request,
                                                   CompletionHandler completion) {
    // Set once; a plain load afterwards, not a locked store for every event.
    if (!state_->madeTasks.load(std::memory_order_relaxed)) state_->madeTasks.store(true);
    return std::make_shared<CurlDataTask>(*state_, std::unique_ptr<CurlTask>(new CurlTask{
                                                       std::move(request), std::move(completion)}));
}

bool CurlHttpClient::flush(double timeoutSeconds) {
    if (!belongsToThisProcess()) return httpClient().flush(timeoutSeconds);
    CurlClientState& state = *state_;
    std::unique_lock lock(state.mutex);
    const std::uint64_t upTo = state.lastId;
    auto done = [&] { return state.allCompletedUpTo(upTo); };
    if (done()) return true;
    // A completion handler waiting for itself would only burn its timeout.
    if (state.workerId.load() == std::this_thread::get_id()) return false;
    double seconds = std::isnan(timeoutSeconds) ? 0.0 : std::clamp(timeoutSeconds, 0.0, 3.0e7);
    state.flushingUpTo.push_back(upTo);
    bool allDone = state.completed.wait_for(lock, std::chrono::duration<double>(seconds), done);
    state.flushingUpTo.erase(std::find(state.flushingUpTo.begin(), state.flushingUpTo.end(), upTo));
    return allDone;
}

}  // namespace VeltoSDK::platform::linux_os
