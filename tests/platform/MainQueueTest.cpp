#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
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
TEST(MainQueueTest, RunsTasksInOrderOnOneOtherThread) {
    MainQueue& queue = *linuxPlatform().mainQueue;
    struct Seen {
        std::mutex mutex;
        std::vector<std::pair<int, std::thread::id>> ran;
        std::promise<void> done, later;
    };
    auto seen = std::make_shared<Seen>();  // shared: the last task may outlive the test
    for (int i = 0; i < 500; ++i) {
        queue.async([seen, i] {
            std::lock_guard lock(seen->mutex);
            seen->ran.emplace_back(i, std::this_thread::get_id());
        });
    }
    queue.async([] { throw std::runtime_error("task failed"); });
    queue.async([&queue, seen] { queue.async([seen] { seen->done.set_value(); }); });
    ASSERT_EQ(seen->done.get_future().wait_for(30s), std::future_status::ready);
    std::this_thread::sleep_for(20ms);  // idle by now
    queue.async([seen] { seen->later.set_value(); });
    ASSERT_EQ(seen->later.get_future().wait_for(30s), std::future_status::ready);

    std::lock_guard lock(seen->mutex);
    ASSERT_EQ(seen->ran.size(), 500u);
    EXPECT_NE(seen->ran[0].second, std::this_thread::get_id());
    for (int i = 0; i < 500; ++i) EXPECT_EQ(seen->ran[i], std::pair(i, seen->ran[0].second));
}

}  // namespace
}  // namespace VeltoSDK::platform
