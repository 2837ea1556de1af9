#pragma once

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "Sourcefiles/CallGate.hpp"

namespace VeltoSDK {

// A host callback (a std::function) that the host may replace while other threads call it.
// Once `set` returns, the callback it replaced is neither running nor called again. It is
// destroyed then, or, when the callback replaced itself, once its call on that thread returns.
template <typename Function>
class CallbackSlot {
public:
    // One relaxed load: for a caller choosing a path without the callback.
    bool isSet() const { return current_.load(std::memory_order_relaxed) != nullptr; }

    // Calls the callback, if one is set, with `args`; what it throws is dropped, as the
    // library's reporting never fails its caller. False when none is set.
    template <typename... Args>
    bool call(Args&&... args) {
        bool called = false;
        {
            CallGate::Call inProgress(gate_);
            if (Function* callback = current_.load()) {
                called = true;
                try {
                    (*callback)(std::forward<Args>(args)...);
                } catch (...) {
                }
            }
        }
        if (!gate_.callingHere() && !replacedHere().empty()) replacedHere().clear();
        return called;
    }

    // An empty `callback` removes the one set.
    void set(Function callback) {
        Function* replacement = callback ? new Function(std::move(callback)) : nullptr;
        Function* replaced = nullptr;
        gate_.replace([&] { replaced = current_.exchange(replacement); });
        // After the gate: its destructor is the host's code.
        if (gate_.callingHere()) {
            try {
                replacedHere().emplace_back(replaced);
            } catch (...) {  // out of memory: better kept for good than destroyed while running
            }
        } else {
            delete replaced;
        }
    }

private:
    // Callbacks replaced from inside a call on this thread, destroyed when it returns.
    static std::vector<std::unique_ptr<Function>>& replacedHere() {
        thread_local std::vector<std::unique_ptr<Function>> replaced;
        return replaced;
    }

    CallGate gate_;
    std::atomic<Function*> current_{nullptr};
};

}  // namespace VeltoSDK
