#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/Dispatch.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK::platform {
namespace {

using namespace std::chrono_literals;

// Tasks run in order on one other thread; a throwing task does not stop the queue, a task may
// queue another without waiting on the queue's lock, and an idle queue is woken by a task.
// The thread runs in the batch policy.
TEST(MainQueueTest, RunsTasksInOrderOnOneOtherThread) {
    MainQueue& queue = *linuxPlatform().mainQueue;
    // Shared: the last task may outlive the test. Each task records its thread when all before
    // it have.
    auto ran = std::make_shared<std::vector<std::thread::id>>();
    auto done = std::make_shared<std::promise<void>>(),
         later = std::make_shared<std::promise<void>>();
    for (size_t i = 0; i < 500; ++i)
        queue.async([ran, i] {
            if (ran->size() == i) ran->push_back(std::this_thread::get_id());
        });
    queue.async([] { throw std::runtime_error("task failed"); });
    queue.async([&queue, done] { queue.async([done] { done->set_value(); }); });
    ASSERT_EQ(done->get_future().wait_for(30s), std::future_status::ready);
    std::this_thread::sleep_for(20ms);  // idle by now
    queue.async([later] { later->set_value(); });
    ASSERT_EQ(later->get_future().wait_for(30s), std::future_status::ready);

    ASSERT_EQ(ran->size(), 500u);
    EXPECT_NE(ran->front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(ran->begin(), ran->end(), ran->front()), 500);

    // The thread never takes a core from a running thread when it wakes.
    auto policy = std::make_shared<std::promise<int>>();
    queue.async([policy] { policy->set_value(sched_getscheduler(0)); });
    std::future<int> read = policy->get_future();
    ASSERT_EQ(read.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(read.get(), SCHED_BATCH);
}

}  // namespace
}  // namespace VeltoSDK::platform
