// velto-fire: initialises the library, fires one event N times and waits for the answers.
// The library's log lines on standard output are the program's output; a summary of the
// outcomes goes to standard error.
#include <iostream>
#include <string>
#include <vector>

#include <VeltoSDK/VeltoSDK.hpp>

#include "FireOptions.hpp"
#include "OutcomeTally.hpp"

namespace {

using namespace VeltoSDK;

VeltoParams makeParams(const fire::FireOptions& options) {
    VeltoParams params;
    if (options.value) params.setValue(*options.value);
    if (options.currency) params.setCurrency(*options.currency);
    if (options.itemId) params.setItemId(*options.itemId);
    if (options.itemType) params.setItemType(*options.itemType);
    if (options.itemName) params.setItemName(*options.itemName);
    for (const auto& [key, value] : options.params) params.put(key, value);
    return params;
}

int fireAll(const fire::FireOptions& options) {
    if (options.appId) HostInfo::setMainBundleIdentifier(*options.appId);
    if (options.baseURL) Velto::shared().setBaseURL(*options.baseURL);
    Velto::shared().setDebugMode(options.debug);
    Velto::initialize(options.pixelId);

    fire::OutcomeTally tally;
    Velto::setOutcomeHandler([&tally](const EventOutcome& outcome) { tally.add(outcome); });
    VeltoParams params = makeParams(options);
    const VeltoParams* eventParams = options.hasParams() ? &params : nullptr;
    int handedOver = 0;
    for (int i = 0; i < options.count; ++i) {
        handedOver += Velto::fireEvent(options.eventName, eventParams) ? 1 : 0;
    }
    bool allCompleted = Velto::flush(options.timeoutSeconds);
    // Once removed, the handler is not running and not called again: the tally is final.
    Velto::setOutcomeHandler(nullptr);

    std::cerr << tally.summary(options.count, handedOver) << "\n";
    if (handedOver < options.count || !allCompleted) return 1;
    return tally.accepted() == options.count ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = fire::parseFireArguments(args);
    if (auto* error = std::get_if<fire::UsageError>(&parsed)) {
        std::cerr << "velto-fire: " << error->message << "\n" << fire::kFireUsage;
        return 2;
    }
    if (std::holds_alternative<fire::ShowHelp>(parsed)) {
        std::cout << fire::kFireUsage;
        return 0;
    }
    return fireAll(std::get<fire::FireOptions>(parsed));
}
