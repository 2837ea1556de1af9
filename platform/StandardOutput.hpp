#pragma once

#include <cstddef>
#include <string_view>

namespace VeltoSDK::platform {

// The process's standard output, where log lines go.
class StandardOutput {
public:
    virtual ~StandardOutput() = default;
    // Writes `text`, one or more whole lines, as one unit, so texts written by several threads
    // never interleave. Never fails towards the caller, never raises SIGPIPE in the host and
    // never waits long for an output that does not take the text: it drops the text instead.
    virtual void write(std::string_view text) = 0;
    // The texts dropped since the last call, once a later text got through; else 0.
    virtual std::size_t takeDroppedLineCount() { return 0; }
};

}  // namespace VeltoSDK::platform
