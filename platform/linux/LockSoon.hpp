#pragma once

#include <chrono>
#include <mutex>

namespace VeltoSDK::platform::linux_os {

// Tells the core this thread is waiting in a loop, so it lets the other hardware thread on the
// core run meanwhile.
inline void relaxCpu() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Takes `mutex`, trying again for up to `patience` before waiting on it. For a lock another
// thread holds for a moment at a time: sleeping on it and being woken would cost a context
// switch each way, and the app's thread may be the one that sleeps. Waiting is left to the lock
// when the holder takes longer (its thread preempted, say).
template <typename Mutex>
std::unique_lock<Mutex> lockSoon(Mutex& mutex, std::chrono::microseconds patience) {
    std::unique_lock lock(mutex, std::try_to_lock);
    if (lock.owns_lock()) return lock;
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            lock.lock();
            break;
        }
        relaxCpu();
    }
    return lock;
}

}  // namespace VeltoSDK::platform::linux_os
