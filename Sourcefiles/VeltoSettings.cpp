#include "VeltoSettings.hpp"

#include <cmath>

#include "../platform/Clock.hpp"
#include "Blank.hpp"
#include "Log.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {
constexpr std::string_view kFile = "Sourcefiles/VeltoSettings";
constexpr std::string_view kSetup = "setup(_:)";
}  // namespace

VeltoSettings& VeltoSettings::shared() {
    static VeltoSettings* instance = new VeltoSettings;  // lives until the process ends
    return *instance;
}

VeltoSettings::VeltoSettings() : initTime_(currentTimeMillis()) {}

std::int64_t VeltoSettings::currentTimeMillis() {
    return static_cast<std::int64_t>(
        std::trunc(platform::current().clock->secondsSince1970() * 1000.0));
}

void VeltoSettings::setup(std::string_view pixelId) {
    pixelId_.set(std::string(pixelId));
    if (isBlank(pixelId)) {
        Log::error("Invalid Pixel Id", kFile, __LINE__, kSetup);
        return;
    }
    Log::info("Kavro Tallyway SDK initialized", kFile, __LINE__, kSetup);
    startTime_.store(currentTimeMillis(), std::memory_order_release);
}

}  // namespace VeltoSDK
