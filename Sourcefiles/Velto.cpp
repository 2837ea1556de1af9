#include <VeltoSDK/Velto.hpp>

#include "../platform/HttpClient.hpp"
#include "../platform/Services.hpp"
#include "Blank.hpp"
#include "Log.hpp"
#include "RequestManager.hpp"
#include "VeltoSettings.hpp"

namespace VeltoSDK {
namespace {
constexpr std::string_view kFile = "Sourcefiles/Velto";
constexpr std::string_view kFireEvent = "fireEvent(_:eventParams:)";
}  // namespace

Velto& Velto::shared() {
    static Velto* instance = new Velto;  // lives until the process ends
    return *instance;
}

Velto::Velto() : baseURL_(std::make_shared<const std::string>(VELTOSDK_DEFAULT_BASE_URL)) {}

void Velto::initialize(std::string_view pixelId) { VeltoSettings::shared().setup(pixelId); }

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

std::string Velto::baseURL() const {
    std::shared_ptr<const std::string> snapshot;
    {
        std::lock_guard lock(baseURLMutex_);
        snapshot = baseURL_;
    }
    return *snapshot;
}

void Velto::setBaseURL(std::string baseURL) {
    auto stored = std::make_shared<const std::string>(std::move(baseURL));
    std::lock_guard lock(baseURLMutex_);
    baseURL_ = std::move(stored);
}

bool Velto::debugMode() const { return debugMode_.load(std::memory_order_relaxed); }

void Velto::setDebugMode(bool debugMode) { debugMode_.store(debugMode, std::memory_order_relaxed); }

}  // namespace VeltoSDK
