#include "platform/Dispatch.hpp"

namespace VeltoSDK::platform {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {}

void SerialQueue::sync(const std::function<void()>& task) {
    std::lock_guard lock(mutex_);
    task();
}

}  // namespace VeltoSDK::platform
