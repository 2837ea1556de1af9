#include "Sourcefiles/LogSink.hpp"

#include <atomic>

#include "Sourcefiles/CallbackSlot.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace VeltoSDK {
namespace {

// The minimum level and whether a handler is set, in one word so that a line reads both at
// once. The handler bit is set only after the handler and cleared before it is removed, so a
// line that sees it set finds a handler or, in a race with its removal, falls back to output.
constexpr unsigned kLevelMask = 3;
constexpr unsigned kHandlerBit = 4;
std::atomic<unsigned> state{static_cast<unsigned>(LogLevel::debug)};

CallbackSlot<LogHandler>& handler() {
    static auto* slot = new CallbackSlot<LogHandler>;  // lives until the process ends
    return *slot;
}

}  // namespace

LogSink::Route::Route(LogLevel level, unsigned state)
    : level_(level),
      writes_(static_cast<unsigned>(level) >= (state & kLevelMask)),
      toHandler_((state & kHandlerBit) != 0) {}

bool LogSink::Route::deliver(std::string line) const {
    if (toHandler_ && handler().call(level_, std::string_view(line))) return false;
    line += '\n';
    platform::current().standardOutput->write(line);
    return true;
}

LogSink::Route LogSink::route(LogLevel level) {
    return Route(level, state.load(std::memory_order_relaxed));
}

void LogSink::setHandler(LogHandler newHandler) {
    if (newHandler) {
        handler().set(std::move(newHandler));
        state.fetch_or(kHandlerBit);
    } else {
        state.fetch_and(~kHandlerBit);
        handler().set(nullptr);
    }
}

void LogSink::setMinimumLevel(LogLevel level) {
    unsigned wanted = static_cast<unsigned>(level);
    if (wanted > kLevelMask) return;
    unsigned current = state.load();
    while (!state.compare_exchange_weak(current, (current & ~kLevelMask) | wanted)) {
    }
}

LogLevel LogSink::minimumLevel() { return static_cast<LogLevel>(state.load() & kLevelMask); }

}  // namespace VeltoSDK
