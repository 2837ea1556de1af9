#include "FireOptions.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace VeltoSDK::fire;
using Args = std::vector<std::string>;

// "help", "usage", or the options as "pixel id|event|" and the optional texts ("-" when unset),
// the free pairs, the debug flag, count, timeout and whether the event carries parameters.
std::string parsed(const Args& args) {
    ParseResult result = parseFireArguments(args);
    if (std::holds_alternative<ShowHelp>(result)) return "help";
    if (std::holds_alternative<UsageError>(result)) return "usage";
    const FireOptions& o = std::get<FireOptions>(result);
    std::ostringstream text;
    text << o.pixelId << "|" << o.eventName;
    for (const auto& value :
         {o.baseURL, o.appId, o.value, o.currency, o.itemId, o.itemType, o.itemName})
        text << "|" << value.value_or("-");
    for (const auto& [key, value] : o.params) text << "|" << key << "=" << value;
    text << "|" << o.debug << "|" << o.count << "|" << o.timeoutSeconds << "|" << o.hasParams();
    return text.str();
}

TEST(FireOptions, ParsesArguments) {
    const std::pair<Args, std::string> cases[] = {
        {{"--pixel-id", "px-1", "Purchase"}, "px-1|Purchase|-|-|-|-|-|-|-|0|1|10|0"},
        {{"--base-url=http://127.0.0.1:9/velto/mob?", "--debug", "--app-id", "com.x", "--value",
          "25", "--currency=USD", "--item-id", "A1,B2", "--item-type", "shoe", "--item-name",
          "Red shoe", "--count=3", "--timeout", "0.25", "Lead", "--pixel-id", "px-1"},
         "px-1|Lead|http://127.0.0.1:9/velto/mob?|com.x|25|USD|A1,B2|shoe|Red shoe|1|3|0.25|1"},
        // --param splits at the first "="; pairs keep their order, repeated keys too.
        {{"--pixel-id", "p", "--param", "f=a=b", "--param", "=v", "--param=k=", "--param", "k=2",
          "E"},
         "p|E|-|-|-|-|-|-|-|f=a=b|=v|k=|k=2|0|1|10|1"},
        {{"--pixel-id=  ", "--", "--not-an-option"}, "  |--not-an-option|-|-|-|-|-|-|-|0|1|10|0"},
        {{"--pixel-id", "--help", "E"}, "--help|E|-|-|-|-|-|-|-|0|1|10|0"},  // help as a value
        {{"A", "B", "--help"}, "help"},
        {{"--pixel-id", "p", "--param", "novalue", "E"}, "usage"},
        {{"Purchase"}, "usage"},                         // no pixel id
        {{"--pixel-id", "p", "A", "B"}, "usage"},        // two events
        {{"--pixel-id", "p", "A", "--value"}, "usage"},  // option without its value
        {{"--pixel-id", "p", "--count", "3x", "A"}, "usage"},
        {{"--pixel-id", "p", "--count", "99999999999", "A"}, "usage"},
        {{"--pixel-id", "p", "--timeout", "inf", "A"}, "usage"},
        {{"--debug=yes", "--pixel-id", "p", "A"}, "usage"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(parsed(args), expected) << ::testing::PrintToString(args);
}

}  // namespace
