#include <VeltoSDK/Velto.hpp>

#include <atomic>
#include "../platform/HttpClient.hpp"
#include "../platform/Services.hpp"

#include "Blank.hpp"
#include "Log.hpp"
#include "PublishedText.hpp"
#include "RequestManager.hpp"
#include "VeltoSettings.hpp"

namespace VeltoSDK {
namespace {
constexpr std::string_view kFile = "Sourcefiles/Velto";
constexpr std::string_view kFireEvent = "fireEvent(_:eventParams:)";

// The host may change these on one thread while events fire on others.
struct Settings {
    PublishedText baseURL{VELTOSDK_DEFAULT_BASE_URL};
    std::atomic<bool> debugMode{false};
};

Settings& settings() {
    static Settings* instance = new Settings;  // lives until the process ends
    return *instance;
}

}  // namespace

Velto& Velto::shared() {
    static Velto* instance = new Velto;  // lives until the process ends
    return *instance;
}

void Velto::initialize(std::string_view pixelId) {
    VeltoSettings::shared().setup(pixelId);
    // Events can be sent from now on: the HTTP worker does its one-time set-up before the first.
    if (!isBlank(pixelId)) platform::httpClient().start();
}

bool Velto::fireEvent(std::string_view eventName, const VeltoParams* eventParams) {
    if (isBlank(VeltoSettings::shared().pixelId())) {
        Log::error(
            "Initialize not called. Please call initialize atleast once before calling fireEvent",
            kFile, __LINE__, kFireEvent);
        return false;
    }
    Log::info("fireEvent API is getting called", kFile, __LINE__, kFireEvent);
    return RequestManager::shared().requestForVeltoUnit(eventName, eventParams);
}

bool Velto::flush(double timeoutSeconds) { return platform::httpClient().flush(timeoutSeconds); }

std::string Velto::baseURL() const { return settings().baseURL.get(); }

void Velto::setBaseURL(std::string baseURL) { settings().baseURL.set(std::move(baseURL)); }

bool Velto::debugMode() const { return settings().debugMode.load(std::memory_order_relaxed); }

void Velto::setDebugMode(bool debugMode) {
    settings().debugMode.store(debugMode, std::memory_order_relaxed);
}

}  // namespace VeltoSDK
