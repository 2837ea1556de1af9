#include "FireOptions.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace VeltoSDK::fire {

const char* const kFireUsage =
    "usage: velto-fire --pixel-id ID [--base-url URL] [--debug] [--app-id ID]\n"
    "                  [--value V] [--currency C] [--item-id LIST] [--item-type LIST]\n"
    "                  [--item-name LIST] [--param KEY=VALUE]... [--count N]\n"
    "                  [--timeout SECONDS] EVENT\n"
    "  --pixel-id ID      the pixel id to initialise with (passed on as given)\n"
    "  --base-url URL     the endpoint to post to, ending in \"?\"\n"
    "  --debug            also log the JSON body of every request\n"
    "  --app-id ID        the host app's identifier (none by default)\n"
    "  --value, --currency, --item-id, --item-type, --item-name\n"
    "                     the event's named parameters; lists are joined by \",\"\n"
    "  --param KEY=VALUE  a free parameter pair (repeatable), split at the first \"=\"\n"
    "  --count N          fire the event N times (default 1)\n"
    "  --timeout SECONDS  how long to wait for the answers before exiting (default 10)\n"
    "The library's log lines go to standard output; one summary line of the outcomes goes to\n"
    "standard error, such as \"4 events: 3 accepted, 1 refused (UNREGISTERED_PIXEL_ID)\".\n"
    "Exit status:\n"
    "  0  every event was handed over, answered and accepted\n"
    "  1  an event was not handed over, or not every event completed within the timeout\n"
    "  2  a usage error\n"
    "  3  every event was handed over and completed, but not all were accepted (refused\n"
    "     by the server, a transport error, or an answer that is not HTTP)\n";

namespace {

constexpr int kMaxCount = 1'000'000;

bool parseCount(std::string_view text, int& count) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    return error == std::errc() && end == text.data() + text.size() && count >= 1 &&
           count <= kMaxCount;
}

bool parseSeconds(std::string_view text, double& seconds) {
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(seconds) &&
           seconds >= 0.0;
}

}  // namespace

bool FireOptions::hasParams() const {
    return value || currency || itemId || itemType || itemName || !params.empty();
}

ParseResult parseFireArguments(const std::vector<std::string>& args) {
    // --help wins over any other argument, as long as it is an option and not a value.
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--help") return ShowHelp{};
        bool takesValue = args[i].starts_with("--") && args[i] != "--debug" &&
                          args[i].find('=') == std::string::npos;
        if (takesValue) ++i;
    }

    FireOptions options;
    bool pixelIdGiven = false;
    std::vector<std::string> positional;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || !arg.starts_with("--")) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--debug") {
            options.debug = true;
            continue;
        }

        std::optional<std::string> value;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }

        std::optional<std::string>* slot = nullptr;
        if (arg == "--base-url")
            slot = &options.baseURL;
        else if (arg == "--app-id")
            slot = &options.appId;
        else if (arg == "--value")
            slot = &options.value;
        else if (arg == "--currency")
            slot = &options.currency;
        else if (arg == "--item-id")
            slot = &options.itemId;
        else if (arg == "--item-type")
            slot = &options.itemType;
        else if (arg == "--item-name")
            slot = &options.itemName;
        else if (arg != "--pixel-id" && arg != "--param" && arg != "--count" &&
                 arg != "--timeout") {
            return UsageError{"unknown option: " + arg};
        }
        if (!value) return UsageError{arg + " needs a value"};

        if (slot != nullptr) {
            *slot = *value;
        } else if (arg == "--pixel-id") {
            options.pixelId = *value;
            pixelIdGiven = true;
        } else if (arg == "--param") {
            auto eq = value->find('=');
            if (eq == std::string::npos) return UsageError{"--param needs KEY=VALUE"};
            options.params.emplace_back(value->substr(0, eq), value->substr(eq + 1));
        } else if (arg == "--count") {
            if (!parseCount(*value, options.count)) {
                return UsageError{"--count needs a whole number from 1 to 1000000"};
            }
        } else if (!parseSeconds(*value, options.timeoutSeconds)) {
            return UsageError{"--timeout needs a number of seconds, 0 or more"};
        }
    }

    if (!pixelIdGiven) return UsageError{"--pixel-id is required"};
    if (positional.size() != 1) return UsageError{"exactly one EVENT is required"};
    options.eventName = positional.front();
    return options;
}

}  // namespace VeltoSDK::fire
