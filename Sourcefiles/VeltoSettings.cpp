#include "Sourcefiles/VeltoSettings.hpp"

#include <cmath>

#include "Sourcefiles/Blank.hpp"
#include "Sourcefiles/Log.hpp"
#include "platform/Clock.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {
constexpr Log::Site kSetup{"Sourcefiles/VeltoSettings", "setup(_:)"};

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
        Log::error("Invalid Pixel Id", kSetup, __LINE__);
        return;
    }
    Log::info("Kavro Tallyway SDK initialized", kSetup, __LINE__);
    startTime_.store(currentTimeMillis(), std::memory_order_release);
}

std::string VeltoSettings::baseURL() { return switches().baseURL.get(); }

std::shared_ptr<const std::string> VeltoSettings::currentBaseURL() {
    return switches().baseURL.snapshot();
}

void VeltoSettings::setBaseURL(std::string baseURL) { switches().baseURL.set(std::move(baseURL)); }

bool VeltoSettings::debugMode() { return switches().debugMode.load(std::memory_order_relaxed); }

void VeltoSettings::setDebugMode(bool debugMode) {
    switches().debugMode.store(debugMode, std::memory_order_relaxed);
}

}  // namespace VeltoSDK
