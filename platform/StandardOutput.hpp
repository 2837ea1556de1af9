#pragma once

#include <string_view>

namespace VeltoSDK::platform {

// The process's standard output, where log lines go.
class StandardOutput {
public:
    virtual ~StandardOutput() = default;
    // Writes `text` as one unit, so texts written by several threads never interleave.
    // Never fails towards the caller and never raises SIGPIPE in the host.
    virtual void write(std::string_view text) = 0;
};

}  // namespace VeltoSDK::platform
