#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace VeltoSDK::fire {

struct FireOptions {
    std::string pixelId;
    std::string eventName;
    std::optional<std::string> baseURL;
    std::optional<std::string> appId;
    bool debug = false;
    std::optional<std::string> value;
    std::optional<std::string> currency;
    std::optional<std::string> itemId;
    std::optional<std::string> itemType;
    std::optional<std::string> itemName;
    std::vector<std::pair<std::string, std::string>> params;  // in the order given
    int count = 1;
    double timeoutSeconds = 10.0;

    // Whether the event carries parameters at all; without any it is fired with none.
    bool hasParams() const;
};

struct ShowHelp {};
struct UsageError {
    std::string message;
};

using ParseResult = std::variant<FireOptions, ShowHelp, UsageError>;

// Parses the arguments after the program name. Texts pass through as given, empty ones too.
ParseResult parseFireArguments(const std::vector<std::string>& args);

extern const char* const kFireUsage;

}  // namespace VeltoSDK::fire
