#include "platform/Platform.hpp"

#include <atomic>

namespace VeltoSDK::platform {
namespace {

// Constant-initialised and trivially destroyed: worker threads may read it during exit.
std::atomic<const Platform*> installed{nullptr};

}  // namespace

const Platform& current() {
    const Platform* platform = installed.load(std::memory_order_acquire);
    return platform ? *platform : linuxPlatform();
}

ScopedPlatform::ScopedPlatform(const std::function<void(Platform&)>& fake)
    : platform_(linuxPlatform()) {
    fake(platform_);
    previous_ = installed.exchange(&platform_, std::memory_order_acq_rel);
}

ScopedPlatform::~ScopedPlatform() { installed.store(previous_, std::memory_order_release); }

}  // namespace VeltoSDK::platform
