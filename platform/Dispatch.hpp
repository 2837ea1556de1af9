#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace VeltoSDK::platform {

// A serial queue without a thread of its own: `sync` runs the task on the caller's thread
// while it holds the queue, so tasks never overlap and the caller waits for its task.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return label_; }
    void sync(const std::function<void()>& task);

private:
    std::string label_;
    std::mutex mutex_;
};

// The process-wide main queue: runs `async` tasks later, one at a time, in order.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void async(std::function<void()> task) = 0;
};

}  // namespace VeltoSDK::platform
