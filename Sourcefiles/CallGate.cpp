#include "Sourcefiles/CallGate.hpp"

#include <pthread.h>

#include <chrono>
#include <exception>
#include <thread>

namespace VeltoSDK {
namespace {

// The library makes one gate per host callback.
constexpr int kMaxGates = 4;
std::atomic<CallGate*> gates[kMaxGates];
std::atomic<int> gateCount{0};

// The calls this thread is making, per gate and half: a replacement made from inside a call
// must not wait for itself, and a forked child keeps only the forking thread's calls.
thread_local long callsHere[kMaxGates][2];

void pause(int round) {
    if (round < 64) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

}  // namespace

CallGate::CallGate() : id_(gateCount.fetch_add(1)) {
    if (id_ >= kMaxGates) std::terminate();  // a fault of the library itself
    if (id_ == 0) pthread_atfork(nullptr, nullptr, &CallGate::afterForkInChild);
    gates[id_].store(this);
}

CallGate::Call::Call(CallGate& gate) : gate_(gate) {
    half_ = gate_.epoch_.load() & 1;
    gate_.calls_[half_].fetch_add(1);
    ++callsHere[gate_.id_][half_];
}

CallGate::Call::~Call() {
    --callsHere[gate_.id_][half_];
    gate_.calls_[half_].fetch_sub(1);
}

bool CallGate::callingHere() const { return callsHere[id_][0] + callsHere[id_][1] > 0; }

void CallGate::lock() {
    for (int round = 0; replacing_.exchange(true, std::memory_order_acquire); ++round) pause(round);
}

void CallGate::unlock() { replacing_.store(false, std::memory_order_release); }

// A call that loaded the old callback was counted in one of the two halves before the swap.
// Each flip sends new calls to the other half, so the half being waited for only drains.
void CallGate::waitForOlderCalls() {
    for (int flip = 0; flip < 2; ++flip) {
        unsigned half = epoch_.fetch_add(1) & 1;
        for (int round = 0; calls_[half].load() > callsHere[id_][half]; ++round) pause(round);
    }
}

// Only the forking thread lives on in the child: the calls and the replacement that other
// threads were making are gone with them.
void CallGate::afterForkInChild() {
    for (int i = 0; i < kMaxGates && i < gateCount.load(); ++i) {
        CallGate* gate = gates[i].load();
        if (!gate) continue;
        for (int half = 0; half < 2; ++half) gate->calls_[half].store(callsHere[i][half]);
        gate->replacing_.store(false);
    }
}

}  // namespace VeltoSDK
