#pragma once

#include <string>
#include <string_view>

#include <VeltoSDK/export.h>

namespace VeltoSDK {

class VeltoParams;

// The library's front door: initialise once with the pixel id, then fire events.
class VELTOSDK_API Velto {
public:
    static Velto& shared();

    static void initialize(std::string_view pixelId);

    // Builds the event's request and hands it to the HTTP client; returns at once.
    // True when a request was handed over; the server's answer is only logged.
    // The library reads `eventParams` during the call and keeps no reference to it.
    static bool fireEvent(std::string_view eventName, const VeltoParams* eventParams = nullptr);

    // For hosts about to exit: waits until every transfer started so far has completed and
    // logged its line, or the timeout passes. True when all completed.
    static bool flush(double timeoutSeconds);

    std::string baseURL() const;
    void setBaseURL(std::string baseURL);
    bool debugMode() const;
    void setDebugMode(bool debugMode);

    Velto(const Velto&) = delete;
    Velto& operator=(const Velto&) = delete;

private:
    Velto() = default;
};

}  // namespace VeltoSDK
