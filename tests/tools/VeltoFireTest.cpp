// velto-fire as a user runs it, against real loopback servers: its exit status and the summary
// it writes on standard error.
#include <cstdio>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

struct FireRun {
    int status;
    std::string errorOutput;
};

// Runs velto-fire with `args` (shell words), its standard output discarded.
FireRun fire(const std::string& args) {
    const std::string command = "timeout 30 " VELTO_FIRE_PATH " " + args + " 2>&1 >/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string text;
    char chunk[256];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(VeltoFire, ExitStatusAndSummary) {
    Collector collector({VELTO_COLLECTOR_PATH, "--port", "0", "--pixel", "px-fire"});
    const std::string url = "'" + collector.start() + "'";
    ASSERT_NE(url, "''");
    SilentServer silent;  // takes the connection, never answers
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--pixel-id px-fire --count 3 Purchase", 0, "3 events: 3 accepted\n"},
        {"--pixel-id px-other --count 2 Lead", 3,
         "2 events: 0 accepted, 2 refused (UNREGISTERED_PIXEL_ID)\n"},
        {"--pixel-id px-fire LevelUp", 3,
         "1 event: 0 accepted, 1 refused (PIXEL_UNSUPPORTED_EVENT)\n"},
        {"--pixel-id ' ' Purchase", 1, "1 event: 0 accepted, 1 not handed over\n"},
        {"--pixel-id px-fire --count 0 Purchase", 2, "velto-fire: --count needs"},  // then usage
    };
    for (const auto& [args, status, summary] : cases) {
        FireRun run = fire("--base-url " + url + " " + args);
        EXPECT_EQ(run.status, status) << args;
        EXPECT_EQ(status == 2 ? run.errorOutput.substr(0, summary.size()) : run.errorOutput,
                  summary)
            << args;
    }
    // The flush gives up after its timeout: not every event completed.
    FireRun run =
        fire("--base-url '" + silent.url() + "' --pixel-id px-fire --timeout 0.3 Purchase");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errorOutput, "1 event: 0 accepted, 1 unanswered\n");
}

}  // namespace
}  // namespace VeltoSDK::testing
