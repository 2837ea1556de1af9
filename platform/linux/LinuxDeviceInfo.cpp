#include <cstdlib>

#include "Linux.hpp"

// Placeholder until the Linux implementation lands.
namespace VeltoSDK::platform::linux_os {

DeviceInfo& deviceInfo() { std::abort(); }

}  // namespace VeltoSDK::platform::linux_os
