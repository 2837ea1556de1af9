#pragma once

#include <mutex>

namespace VeltoSDK::platform {

// A mutex that a fork never leaves locked in the child. Around fork() the forking thread takes
// every one of them, so no other thread is inside one when the process is copied, and both
// processes let go of them after. Only for short, innermost locks: no other ForkSafeMutex may
// be taken, made or destroyed while one is held.
class ForkSafeMutex : public std::mutex {
public:
    ForkSafeMutex();
    ~ForkSafeMutex();
    ForkSafeMutex(const ForkSafeMutex&) = delete;
    ForkSafeMutex& operator=(const ForkSafeMutex&) = delete;

private:
    friend struct ForkSafeMutexList;
    ForkSafeMutex* previous_ = nullptr;
    ForkSafeMutex* next_ = nullptr;
};

// Held around every call of the library into ICU that may take one of ICU's own global locks
// (making formatters, zones and locales), so no fork copies such a lock while it is taken.
// Formatting with a formatter already made takes none.
ForkSafeMutex& icuMutex();

// Installs the library's fork handlers, once: locks of the library are taken around a fork,
// and a child rebuilds the main queue and the HTTP client, whose threads it does not have.
void installForkHandlers();

}  // namespace VeltoSDK::platform
