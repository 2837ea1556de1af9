#pragma once

#include <memory>

#include "platform/StandardOutput.hpp"

namespace VeltoSDK::platform::linux_os {

// Log lines written to whatever file descriptor `fd` refers to at the moment (1 for the
// process's standard output); made directly by tests with a pipe of their own.
std::unique_ptr<StandardOutput> makeDescriptorOutput(int fd);

}  // namespace VeltoSDK::platform::linux_os
