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

struct HostSwitches {
    PublishedText baseURL{VELTOSDK_DEFAULT_BASE_URL};
    std::atomic<bool> debugMode{false};
};

HostSwitches& switches() {
    static HostSwitches* instance = new HostSwitches;  // lives until the process ends
    return *instance;
}

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

std::string VeltoSettings::baseURL() { return switches().baseURL.get(); }

void VeltoSettings::setBaseURL(std::string baseURL) { switches().baseURL.set(std::move(baseURL)); }

bool VeltoSettings::debugMode() { return switches().debugMode.load(std::memory_order_relaxed); }

void VeltoSettings::setDebugMode(bool debugMode) {
    switches().debugMode.store(debugMode, std::memory_order_relaxed);
}

}  // namespace VeltoSDK
