// velto-fire: initialises the library, fires one event N times and waits for the answers.
// The library's log lines on standard output are the program's output.
#include <iostream>
#include <string>
#include <vector>

#include <VeltoSDK/VeltoSDK.hpp>

#include "FireOptions.hpp"

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

    VeltoParams params = makeParams(options);
    const VeltoParams* eventParams = options.hasParams() ? &params : nullptr;
    bool allHandedOver = true;
    for (int i = 0; i < options.count; ++i) {
        allHandedOver = Velto::fireEvent(options.eventName, eventParams) && allHandedOver;
    }
    bool allAnswered = Velto::flush(options.timeoutSeconds);
    return allHandedOver && allAnswered ? 0 : 1;
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
