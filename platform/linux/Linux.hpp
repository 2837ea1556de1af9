#pragma once

#include "../BundleInfo.hpp"
#include "../Clock.hpp"
#include "../DeviceInfo.hpp"
#include "../Dispatch.hpp"
#include "../HttpClient.hpp"
#include "../LocaleInfo.hpp"
#include "../NetworkReachability.hpp"
#include "../StandardOutput.hpp"

// The Linux implementations of the platform services. Each is created on first use and never
// destroyed, so threads still running at exit never touch a destroyed object.
namespace VeltoSDK::platform::linux_os {

BundleInfo& bundleInfo();
Clock& clock();
DeviceInfo& deviceInfo();
HttpClient& httpClient();
LocaleInfo& localeInfo();
MainQueue& mainQueue();
NetworkReachabilityService& networkReachability();
StandardOutput& standardOutput();

// Called on a thread of the library's own that blocks every signal until it ends: standard
// output then leaves its signal mask alone.
void noteSignalsBlockedForGood();

}  // namespace VeltoSDK::platform::linux_os
