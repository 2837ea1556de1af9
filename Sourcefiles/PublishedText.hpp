#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ForkSafety.hpp"

namespace VeltoSDK {

// A text that one thread may replace while others read it. Readers take a snapshot, so no
// reader ever sees a half-written string, and the lock is held only to copy a pointer.
class PublishedText {
public:
    // A reader's own snapshot, renewed when the text was replaced since it was taken. Kept
    // per thread; it is left empty when destroyed, so an event fired at exit on a thread
    // whose copies are already gone takes a new snapshot instead of dropping one twice.
    struct Reading {
        std::uint64_t version = 0;
        std::shared_ptr<const std::string> text;
        ~Reading() { text.reset(); }
    };

    explicit PublishedText(std::string initial = {})
        : text_(std::make_shared<const std::string>(std::move(initial))) {}

    std::string get() const {
        std::lock_guard lock(mutex_);
        return *text_;
    }

    // The current text, through `seen`: while it was not replaced, reading it takes neither
    // the lock nor a reference, only a look at its version.
    const std::string& read(Reading& seen) const {
        if (!seen.text || seen.version != version_.load(std::memory_order_acquire)) {
            std::lock_guard lock(mutex_);
            seen.text = text_;
            seen.version = version_.load(std::memory_order_relaxed);
        }
        return *seen.text;
    }

    void set(std::string text) {
        auto replacement = std::make_shared<const std::string>(std::move(text));
        std::lock_guard lock(mutex_);
        text_.swap(replacement);
        version_.fetch_add(1, std::memory_order_release);
    }

private:
    mutable platform::ForkSafeMutex mutex_;  // a child forked meanwhile can still read
    std::shared_ptr<const std::string> text_;
    std::atomic<std::uint64_t> version_{0};  // changed with `text_`, under the lock
};

}  // namespace VeltoSDK
