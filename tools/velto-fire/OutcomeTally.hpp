#pragma once

#include <map>
#include <mutex>
#include <string>

#include <VeltoSDK/Handlers.hpp>

namespace VeltoSDK::fire {

// Counts the outcomes the library reports, from whichever thread it reports them on.
class OutcomeTally {
public:
    void add(const EventOutcome& outcome);
    int accepted() const;
    int completed() const;
    // One line, such as "4 events: 3 accepted, 1 refused (UNREGISTERED_PIXEL_ID)".
    std::string summary(int fired, int handedOver) const;

private:
    mutable std::mutex mutex_;
    int accepted_ = 0, transportErrors_ = 0, notHTTP_ = 0;
    std::map<std::string, int> refusals_;  // by reason code, or "HTTP <status>" without one
};

}  // namespace VeltoSDK::fire
