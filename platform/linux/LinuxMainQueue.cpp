#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// A thread of the library's own, started with the first task. It is never joined and the
// queue is never destroyed: at exit the thread may still wait here, so it must only touch
// this heap object, which static destruction leaves alone.
class ThreadMainQueue final : public MainQueue {
public:
    void async(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        if (!started_) start();
        wakeUp_.notify_one();
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
        while (true) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                wakeUp_.wait(lock, [this] { return !tasks_.empty(); });
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            // Run and let go of the task outside the lock: it may queue further tasks.
            try {
                task();
            } catch (...) {
                // A failing task must not take the host's process down with it.
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<std::function<void()>> tasks_;
    bool started_ = false;
};

}  // namespace

MainQueue& mainQueue() {
    static ThreadMainQueue* instance = new ThreadMainQueue;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
