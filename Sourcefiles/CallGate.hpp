#pragma once

#include <atomic>

namespace VeltoSDK {

// Counts the calls in progress of a callback that the host may replace at any time, so that the
// replacing thread can wait until no call of the old callback is running or about to run. A
// call costs two atomic increments and no lock; replacing waits out at most the calls already
// in progress, in two halves, so calls that keep starting cannot hold it up.
class CallGate {
public:
    CallGate();
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    // Marks one call in progress for its lifetime. Load the callback after making it.
    class Call {
    public:
        explicit Call(CallGate& gate);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        CallGate& gate_;
        unsigned half_;
    };

    // Runs `swap` (which exchanges the callback) and then waits until every call that may have
    // loaded the old one has returned. Calls this thread itself is making are not waited for.
    template <typename Swap>
    void replace(Swap&& swap) {
        lock();
        swap();
        waitForOlderCalls();
        unlock();
    }

    // Whether this thread is inside a call through this gate.
    bool callingHere() const;

private:
    void lock();
    void unlock();
    void waitForOlderCalls();
    static void afterForkInChild();

    int id_;
    std::atomic<unsigned> epoch_{0};
    std::atomic<long> calls_[2] = {0, 0};
    std::atomic<bool> replacing_{false};
};

}  // namespace VeltoSDK
