#include <benchmark/benchmark.h>
#include <VeltoSDK/HostInfo.hpp>

#include "Sourcefiles/HostValues.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/Dispatch.hpp"
#include "platform/NetworkReachability.hpp"
#include "platform/Platform.hpp"
#include "platform/URL.hpp"

namespace {

using namespace VeltoSDK::platform;

// Runs on the app's thread for every event, once per monitor.
void BM_ZeroAddressGetFlags(benchmark::State& state) {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    auto reference = linuxPlatform().networkReachability->createWithAddress(zero);
    for (auto _ : state) {
        std::uint32_t flags = 0;
        benchmark::DoNotOptimize(reference->getFlags(flags));
        benchmark::DoNotOptimize(flags);
    }
}
BENCHMARK(BM_ZeroAddressGetFlags);

void BM_CreateAndGetFlags(benchmark::State& state) {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    for (auto _ : state) {
        auto reference = linuxPlatform().networkReachability->createWithAddress(zero);
        std::uint32_t flags = 0;
        benchmark::DoNotOptimize(reference->getFlags(flags));
    }
}
BENCHMARK(BM_CreateAndGetFlags);

void BM_ParseEndpointURL(benchmark::State& state) {
    const std::string text = "https://127.0.0.1:8080/velto/mob?e=Purchase&pi=1234567890";
    for (auto _ : state) benchmark::DoNotOptimize(URL::fromString(text));
}
BENCHMARK(BM_ParseEndpointURL);

// The host values the device step reads for one event.
void BM_DeviceValuesOfOneEvent(benchmark::State& state) {
    VeltoSDK::HostInfo::setCarrier(VeltoSDK::HostInfo::Carrier{"Carrier", "262", "01"});
    DeviceInfo& device = *linuxPlatform().deviceInfo;
    for (auto _ : state) {
        benchmark::DoNotOptimize(device.systemVersion());
        benchmark::DoNotOptimize(device.isOperatingSystemAtLeast(14, 0, 0));
        benchmark::DoNotOptimize(device.unameMachine());
        benchmark::DoNotOptimize(VeltoSDK::hostValues());
    }
    VeltoSDK::HostInfo::reset();
}
BENCHMARK(BM_DeviceValuesOfOneEvent);

}  // namespace
