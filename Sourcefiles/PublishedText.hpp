#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/ForkSafety.hpp"

namespace VeltoSDK {

// A text that one thread may replace while others read it. Readers take a snapshot, so no
// reader ever sees a half-written string, and the lock is held only to copy a pointer.
class PublishedText {
public:
    explicit PublishedText(std::string initial = {})
        : text_(std::make_shared<const std::string>(std::move(initial))) {}

    std::string get() const { return *snapshot(); }

    // The current text without copying it; later changes do not reach it.
    std::shared_ptr<const std::string> snapshot() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

    void set(std::string text) {
        auto replacement = std::make_shared<const std::string>(std::move(text));
        std::lock_guard lock(mutex_);
        text_.swap(replacement);
    }

private:
    mutable platform::ForkSafeMutex mutex_;  // a child forked meanwhile can still read
    std::shared_ptr<const std::string> text_;
};

}  // namespace VeltoSDK
