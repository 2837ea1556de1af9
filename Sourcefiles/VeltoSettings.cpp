#include "VeltoSettings.hpp"

#include <cmath>

#include "../platform/Clock.hpp"
#include "../platform/Services.hpp"
#include "Blank.hpp"
#include "Log.hpp"

namespace VeltoSDK {
namespace {
constexpr std::string_view kFile = "Sourcefiles/VeltoSettings";
constexpr std::string_view kSetup = "setup(_:)";
}  // namespace

VeltoSettings& VeltoSettings::shared() {
    static VeltoSettings* instance = new VeltoSettings;  // lives until the process ends
    return *instance;
}

VeltoSettings::VeltoSettings()
    : pixelId_(std::make_shared<const std::string>()), initTime_(currentTimeMillis()) {}

std::int64_t VeltoSettings::currentTimeMillis() {
    return static_cast<std::int64_t>(std::trunc(platform::clock().secondsSince1970() * 1000.0));
}

std::string VeltoSettings::pixelId() const {
    std::shared_ptr<const std::string> snapshot;
    {
        std::lock_guard lock(pixelIdMutex_);
        snapshot = pixelId_;
    }
    return *snapshot;
}

void VeltoSettings::setup(std::string_view pixelId) {
    auto stored = std::make_shared<const std::string>(pixelId);
    {
        std::lock_guard lock(pixelIdMutex_);
        pixelId_ = stored;
    }
    if (isBlank(*stored)) {
        Log::error("Invalid Pixel Id", kFile, __LINE__, kSetup);
        return;
    }
    Log::info("Kavro Tallyway SDK initialized", kFile, __LINE__, kSetup);
    startTime_.store(currentTimeMillis(), std::memory_order_release);
}

}  // namespace VeltoSDK
