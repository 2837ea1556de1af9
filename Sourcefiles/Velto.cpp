#include <VeltoSDK/Velto.hpp>

#include "../platform/HttpClient.hpp"
#include "platform/Platform.hpp"

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

bool Velto::flush(double timeoutSeconds) {
    return platform::current().httpClient->flush(timeoutSeconds);
}

std::string Velto::baseURL() const { return VeltoSettings::baseURL(); }

void Velto::setBaseURL(std::string baseURL) { VeltoSettings::setBaseURL(std::move(baseURL)); }

bool Velto::debugMode() const { return VeltoSettings::debugMode(); }

void Velto::setDebugMode(bool debugMode) { VeltoSettings::setDebugMode(debugMode); }

}  // namespace VeltoSDK
