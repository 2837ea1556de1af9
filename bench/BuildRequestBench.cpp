// The cost the host's thread pays to build one event request: the worked-example event with
// the real clock, locale and network reachability, and stand-ins for the device and bundle.
#include <benchmark/benchmark.h>

#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include "Sourcefiles/RequestBuilder.hpp"
#include "platform/BundleInfo.hpp"
#include "platform/DeviceInfo.hpp"
#include "platform/Dispatch.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace {

using namespace VeltoSDK;

class NullOutput final : public platform::StandardOutput {
public:
    void write(std::string_view) override {}
};

// Tasks are dropped: the announcement would find the monitor gone anyway.
class DiscardingMainQueue final : public platform::MainQueue {
public:
    void async(std::function<void()>) override {}
};

class Device final : public platform::DeviceInfo {
public:
    std::string systemVersion() override { return "17.2"; }
    bool isOperatingSystemAtLeast(int major, int, int) override { return major <= 17; }
    std::optional<std::string> environmentValue(std::string_view) override { return std::nullopt; }
    std::string unameMachine() override {
        std::string machine = "arm64";
        machine.resize(256, '\0');
        return machine;
    }
    platform::UUID advertisingIdentifier() override {
        return {0xE6, 0x21, 0xE1, 0xF8, 0xC3, 0x6C, 0x49, 0x5A,
                0x93, 0xFC, 0x0C, 0x24, 0x7A, 0x3E, 0x6E, 0x5F};
    }
    bool isAdvertisingTrackingEnabled() override { return true; }
    int trackingAuthorizationStatus() override { return 3; }
    std::unique_ptr<platform::Carrier> subscriberCellularProvider() override { return nullptr; }
};

class Bundle final : public platform::BundleInfo {
public:
    std::optional<std::string> mainBundleIdentifier() override { return "com.example.shop"; }
    std::optional<std::string> libraryShortVersion() override { return "1.0"; }
};

void BuildVeltoRequest(benchmark::State& state) {
    NullOutput output;
    DiscardingMainQueue mainQueue;
    Device device;
    Bundle bundle;
    platform::ScopedPlatform services([&](platform::Platform& p) {
        p.bundleInfo = &bundle;
        p.deviceInfo = &device;
        p.mainQueue = &mainQueue;
        p.standardOutput = &output;
    });
    Velto::initialize("pixel-7");
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");

    for (auto _ : state) {
        std::optional<platform::HttpRequest> request =
            RequestBuilder().buildVeltoRequest("Purchase", &params);
        if (!request) state.SkipWithError("no request built");
        benchmark::DoNotOptimize(request);
    }
}
BENCHMARK(BuildVeltoRequest);

}  // namespace
