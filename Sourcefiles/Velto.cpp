#include <VeltoSDK/Velto.hpp>

#include "platform/HttpClient.hpp"
#include "platform/Platform.hpp"

#include "Sourcefiles/Blank.hpp"
#include "Sourcefiles/Log.hpp"
#include "Sourcefiles/LogSink.hpp"
#include "Sourcefiles/RequestManager.hpp"
#include "Sourcefiles/VeltoSettings.hpp"

namespace VeltoSDK {
namespace {
constexpr Log::Site kFireEvent{"Sourcefiles/Velto", "fireEvent(_:eventParams:)"};

}  // namespace

Velto& Velto::shared() {
    static Velto* instance = new Velto;  // lives until the process ends
    return *instance;
}

void Velto::initialize(std::string_view pixelId) {
    VeltoSettings::shared().setup(pixelId);
    // Events can be sent from now on: the HTTP worker does its one-time set-up before the first.
    if (!isBlank(pixelId)) platform::current().httpClient->start();
}

bool Velto::fireEvent(std::string_view eventName, const VeltoParams* eventParams) {
    // The event's lines go out with one write, before its request is handed over.
    Log::Batch lines;
    // Read once: the check and the request see the same id, whatever another thread sets.
    const std::shared_ptr<const std::string> pixelId = VeltoSettings::shared().currentPixelId();
    if (isBlank(*pixelId)) {
        Log::error(
            "Initialize not called. Please call initialize atleast once before calling fireEvent",
            kFireEvent, __LINE__);
        return false;
    }
    Log::info("fireEvent API is getting called", kFireEvent, __LINE__);
    return RequestManager::shared().requestForVeltoUnit(eventName, eventParams, *pixelId);
}

bool Velto::flush(double timeoutSeconds) {
    return platform::current().httpClient->flush(timeoutSeconds);
}

void Velto::setLogHandler(LogHandler handler) { LogSink::setHandler(std::move(handler)); }

void Velto::setLogLevel(LogLevel level) { LogSink::setMinimumLevel(level); }

LogLevel Velto::logLevel() { return LogSink::minimumLevel(); }

void Velto::setOutcomeHandler(OutcomeHandler handler) {
    RequestManager::setOutcomeHandler(std::move(handler));
}

std::string Velto::baseURL() const { return VeltoSettings::baseURL(); }

void Velto::setBaseURL(std::string baseURL) { VeltoSettings::setBaseURL(std::move(baseURL)); }

bool Velto::debugMode() const { return VeltoSettings::debugMode(); }

void Velto::setDebugMode(bool debugMode) { VeltoSettings::setDebugMode(debugMode); }

}  // namespace VeltoSDK
