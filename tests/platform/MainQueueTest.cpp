#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform {
namespace {

// A deadline only so that a broken queue fails the test instead of hanging it.
constexpr auto kHangGuard = std::chrono::seconds(30);

// Signalled from a queued task; the task shares ownership, so the test may end as soon as it
// sees the signal while the task is still returning.
class Signal {
public:
    void notify() const { promise_->set_value(); }
    bool awaited() { return future_.wait_for(kHangGuard) == std::future_status::ready; }

private:
    std::shared_ptr<std::promise<void>> promise_ = std::make_shared<std::promise<void>>();
    std::shared_future<void> future_ = promise_->get_future().share();
};

TEST(MainQueueTest, RunsTasksInOrderOnOneOtherThread) {
    MainQueue& queue = linux_os::mainQueue();
    constexpr int kTasks = 500;
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    Signal done;

    for (int i = 0; i < kTasks; ++i) {
        queue.async([&mutex, &order, &threads, done, i] {
            {
                std::lock_guard lock(mutex);
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            }
            if (i == kTasks - 1) done.notify();
        });
    }
    ASSERT_TRUE(done.awaited());

    std::lock_guard lock(mutex);
    ASSERT_EQ(order.size(), size_t(kTasks));
    for (int i = 0; i < kTasks; ++i) EXPECT_EQ(order[i], i);
    EXPECT_NE(threads.front(), std::this_thread::get_id());
    for (auto id : threads) EXPECT_EQ(id, threads.front());
}

TEST(MainQueueTest, TasksQueuedFromATaskAndFromManyThreadsAllRun) {
    MainQueue& queue = linux_os::mainQueue();
    constexpr int kThreads = 4;
    constexpr int kPerThread = 100;
    auto ran = std::make_shared<std::atomic<int>>(0);
    Signal done;
    auto count = [ran, done] {
        if (++*ran == kThreads * kPerThread + 1) done.notify();
    };

    queue.async([&queue, count] { queue.async(count); });  // must not wait on the queue's lock
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) queue.async(count);
        });
    }
    for (auto& producer : producers) producer.join();
    ASSERT_TRUE(done.awaited());
}

TEST(MainQueueTest, AThrowingTaskDoesNotStopTheQueue) {
    MainQueue& queue = linux_os::mainQueue();
    Signal done;
    queue.async([] { throw std::runtime_error("task failed"); });
    queue.async([done] { done.notify(); });
    ASSERT_TRUE(done.awaited());
}

}  // namespace
}  // namespace VeltoSDK::platform
