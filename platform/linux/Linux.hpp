#pragma once

#include "platform/BundleInfo.hpp"
#include "platform/Clock.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/Dispatch.hpp"
#include "platform/HttpClient.hpp"
#include "platform/LocaleInfo.hpp"
#include "platform/NetworkReachability.hpp"
#include "platform/StandardOutput.hpp"

// The Linux implementations of the platform services, assembled in LinuxPlatform.cpp. Each is
// created on first use and never destroyed, so threads still running at exit never touch a
// destroyed object. The HTTP client is the calling process's own: a forked child gets its own.
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
