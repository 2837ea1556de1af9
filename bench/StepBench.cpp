// The steps of one event on the app's thread, each with the real platform layer. Run with
// standard output sent to /dev/null: log lines are written for real.
#include <benchmark/benchmark.h>

#include "Sourcefiles/Blank.hpp"
#include "Sourcefiles/BodySteps.hpp"
#include "Sourcefiles/Log.hpp"

namespace {

using namespace VeltoSDK;

void LogLine(benchmark::State& state) {
    for (auto _ : state) {
        Log::info("fireEvent API is getting called",
                  {"Sourcefiles/Velto", "fireEvent(_:eventParams:)"}, 27);
    }
}
BENCHMARK(LogLine);

// uname, an environment read, the route check and the announcement it queues.
void AddDeviceFields(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(prettyJSON(addDeviceFields));
    }
}
BENCHMARK(AddDeviceFields);

void IsBlankOnId(benchmark::State& state) {
    const std::string id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    for (auto _ : state) benchmark::DoNotOptimize(isBlank(id));
}
BENCHMARK(IsBlankOnId);

}  // namespace
