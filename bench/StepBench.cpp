// The steps of one event on the app's thread, each with the real platform layer. Run with
// standard output sent to /dev/null: log lines are written for real.
#include <benchmark/benchmark.h>

#include "Sourcefiles/Blank.hpp"
#include "Sourcefiles/Log.hpp"
#include "Sourcefiles/PostBody.hpp"

namespace {

using namespace VeltoSDK;

void LogLine(benchmark::State& state) {
    for (auto _ : state) {
        Log::info("fireEvent API is getting called", "Sourcefiles/Velto", 27,
                  "fireEvent(_:eventParams:)");
    }
}
BENCHMARK(LogLine);

// uname, an environment read, the route check and the announcement it queues.
void AddDeviceFields(benchmark::State& state) {
    for (auto _ : state) {
        PostBody body;
        addDeviceFields(body);
        benchmark::DoNotOptimize(body.finish());
    }
}
BENCHMARK(AddDeviceFields);

void IsBlankOnId(benchmark::State& state) {
    const std::string id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    for (auto _ : state) benchmark::DoNotOptimize(isBlank(id));
}
BENCHMARK(IsBlankOnId);

}  // namespace
