#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Sourcefiles/PublishedText.hpp"

namespace VeltoSDK {

// The library's settings, all in one place: the pixel id and two moments in time on the shared
// instance, and the host's base URL and debug switch (read and set through Velto::shared()).
// Any of them may be set on one thread while events fire on others.
class VeltoSettings {
public:
    static VeltoSettings& shared();

    // Stores the id (even a blank one), then logs and stamps start_time if it is usable.
    void setup(std::string_view pixelId);

    std::string pixelId() const { return pixelId_.get(); }
    // The same as a snapshot, not copied: read for every event.
    std::shared_ptr<const std::string> currentPixelId() const { return pixelId_.snapshot(); }
    std::int64_t start_time() const { return startTime_.load(std::memory_order_acquire); }
    std::int64_t init_time() const { return initTime_; }

    // Static, so that setting them does not create the shared instance, which stamps init_time.
    static std::string baseURL();
    static std::shared_ptr<const std::string> currentBaseURL();
    static void setBaseURL(std::string baseURL);
    static bool debugMode();
    static void setDebugMode(bool debugMode);

    // The wall clock in whole milliseconds since 1970, truncated toward zero.
    static std::int64_t currentTimeMillis();

    VeltoSettings(const VeltoSettings&) = delete;
    VeltoSettings& operator=(const VeltoSettings&) = delete;

private:
    VeltoSettings();

    PublishedText pixelId_;
    std::atomic<std::int64_t> startTime_{0};
    const std::int64_t initTime_;
};

}  // namespace VeltoSDK
