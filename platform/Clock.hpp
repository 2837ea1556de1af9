#pragma once

namespace VeltoSDK::platform {

// The wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00:00 UTC, with at least millisecond resolution.
    virtual double secondsSince1970() = 0;
};

}  // namespace VeltoSDK::platform
