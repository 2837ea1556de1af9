#include <cstdlib>

#include "Linux.hpp"

// Placeholder until the Linux implementation lands.
namespace VeltoSDK::platform::linux_os {

NetworkReachabilityService& networkReachability() { std::abort(); }

}  // namespace VeltoSDK::platform::linux_os
