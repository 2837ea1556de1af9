#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/ForkSafety.hpp"
#include "platform/linux/ForkSafety.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// After a batch the thread waits this long before looking again, so that the rest of a burst
// is taken in batches instead of with a wake-up per task.
constexpr std::chrono::milliseconds kLinger{1};

// A thread of the library's own, started with the first task. It is never joined and the
// queue is never destroyed: at exit the thread may still wait here, so it must only touch
// this heap object, which static destruction leaves alone.
//
// Tasks come in bursts, one per event fired, so the thread is woken only when it is blocked:
// waking it is a system call and a context switch on the caller's time. Once it has nothing
// left after lingering, it blocks without a timeout, so an idle queue costs nothing.
//
// A forked child has no such thread: it gets a fresh queue with the tasks left waiting.
class ThreadMainQueue final : public MainQueue {
public:
    ThreadMainQueue() = default;
    // In a forked child, the only thread: `parent`'s lock is free and its thread gone.
    explicit ThreadMainQueue(ThreadMainQueue* parent) : tasks_(std::move(parent->tasks_)) {}

    void async(std::function<void()> task) override {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
            if (!started_) start();
            wake = std::exchange(blocked_, false);
        }
        if (wake) wakeUp_.notify_one();
    }

private:
    void start() {
        try {
            std::thread([this] { run(); }).detach();
            started_ = true;
        } catch (const std::system_error&) {
            // No thread to be had now: the task waits, and the next async tries again.
        }
    }

    void run() {
        // Its tasks have no deadline. Woken once a millisecond during a burst of events, and
        // then busy with the burst's tasks for tens of microseconds, the thread would take the
        // core from the host's thread firing them; in the batch policy it wakes without taking
        // a core from a running thread, and still has its fair share of the processor.
        sched_param unused{};
        (void)pthread_setschedparam(pthread_self(), SCHED_BATCH, &unused);
        std::deque<std::function<void()>> batch;
        while (true) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                while (tasks_.empty()) {
                    blocked_ = true;
                    wakeUp_.wait(lock);
                }
                blocked_ = false;
                batch.swap(tasks_);
            }
            // Run and let go of each task outside the lock: it may queue further tasks.
            for (auto& task : batch) {
                try {
                    task();
                } catch (...) {
                    // A failing task must not take the host's process down with it.
                }
                task = nullptr;
            }
            batch.clear();
            std::this_thread::sleep_for(kLinger);
        }
    }

    ForkSafeMutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<std::function<void()>> tasks_;
    bool started_ = false;
    bool blocked_ = false;  // waiting for a task: the next async must wake it
};

}  // namespace

namespace {

// Queues are never destroyed; a forked child leaves its parent's behind.
std::atomic<ThreadMainQueue*> current{nullptr};

ThreadMainQueue& processQueue() {
    ThreadMainQueue* queue = current.load(std::memory_order_acquire);
    if (queue) return *queue;
    auto* fresh = new ThreadMainQueue;
    if (current.compare_exchange_strong(queue, fresh, std::memory_order_acq_rel)) return *fresh;
    delete fresh;  // another thread's queue won; `queue` now holds it
    return *queue;
}

// What the platform holds: each task goes to the queue of the process that queues it, so a
// forked child's tasks reach its own thread.
class ProcessMainQueue final : public MainQueue {
public:
    void async(std::function<void()> task) override { processQueue().async(std::move(task)); }
};

}  // namespace

MainQueue& mainQueue() {
    static ProcessMainQueue* instance = new ProcessMainQueue;
    return *instance;
}

void resetMainQueueAfterFork() {
    if (ThreadMainQueue* parent = current.load(std::memory_order_acquire)) {
        current.store(new ThreadMainQueue(parent), std::memory_order_release);
    }
}

}  // namespace VeltoSDK::platform::linux_os
