#include "platform/ForkSafety.hpp"

#include <pthread.h>

#include "platform/linux/ForkSafety.hpp"

namespace VeltoSDK::platform {

// Every ForkSafeMutex alive, in a list with a lock of its own that a fork takes first.
struct ForkSafeMutexList {
    std::mutex mutex;
    ForkSafeMutex* first = nullptr;

    static ForkSafeMutexList& shared() {
        static ForkSafeMutexList* instance = new ForkSafeMutexList;  // never destroyed
        return *instance;
    }

    void add(ForkSafeMutex* added) {
        std::lock_guard lock(mutex);
        added->next_ = first;
        if (first) first->previous_ = added;
        first = added;
    }

    void remove(ForkSafeMutex* removed) {
        std::lock_guard lock(mutex);
        if (removed->previous_) removed->previous_->next_ = removed->next_;
        if (removed->next_) removed->next_->previous_ = removed->previous_;
        if (first == removed) first = removed->next_;
    }

    // The fork handlers: the forking thread waits until no other thread holds one of the locks,
    // and holds them all while the process is copied.
    static void beforeFork() {
        ForkSafeMutexList& list = shared();
        list.mutex.lock();
        for (ForkSafeMutex* m = list.first; m; m = m->next_) m->lock();
    }

    static void releaseAll() {
        ForkSafeMutexList& list = shared();
        for (ForkSafeMutex* m = list.first; m; m = m->next_) m->unlock();
        list.mutex.unlock();
    }

    static void inChild() {
        releaseAll();
        linux_os::resetMainQueueAfterFork();
        linux_os::resetHttpClientAfterFork();
    }
};

ForkSafeMutex::ForkSafeMutex() {
    installForkHandlers();
    ForkSafeMutexList::shared().add(this);
}

ForkSafeMutex::~ForkSafeMutex() { ForkSafeMutexList::shared().remove(this); }

ForkSafeMutex& icuMutex() {
    static ForkSafeMutex* instance = new ForkSafeMutex;  // never destroyed
    return *instance;
}

void installForkHandlers() {
    static const bool installed = [] {
        ForkSafeMutexList::shared();  // made before any fork can find it half made
        pthread_atfork(ForkSafeMutexList::beforeFork, ForkSafeMutexList::releaseAll,
                       ForkSafeMutexList::inChild);
        return true;
    }();
    (void)installed;
}

}  // namespace VeltoSDK::platform
