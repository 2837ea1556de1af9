#include <cstdlib>

#include "Linux.hpp"

// Placeholder until the Linux implementation lands.
namespace VeltoSDK::platform::linux_os {

HttpClient& httpClient() { std::abort(); }

}  // namespace VeltoSDK::platform::linux_os
