#include "FireOptions.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace VeltoSDK::fire;
using Args = std::vector<std::string>;

// The parse result in one line: "help", "usage", or the options that differ from the defaults.
std::string parsed(const Args& args) {
    ParseResult result = parseFireArguments(args);
    if (std::holds_alternative<ShowHelp>(result)) return "help";
    if (std::holds_alternative<UsageError>(result)) return "usage";
    const FireOptions& o = std::get<FireOptions>(result);
    std::ostringstream text;
    text << "pi='" << o.pixelId << "' e='" << o.eventName << "'";
    auto add = [&](const char* name, const std::optional<std::string>& value) {
        if (value) text << " " << name << "='" << *value << "'";
    };
    add("url", o.baseURL), add("app", o.appId), add("va", o.value), add("c", o.currency);
    add("ii", o.itemId), add("itp", o.itemType), add("in", o.itemName);
    for (const auto& [key, value] : o.params) text << " [" << key << "=" << value << "]";
    if (o.debug) text << " debug";
    if (o.count != 1) text << " n=" << o.count;
    if (o.timeoutSeconds != 10.0) text << " t=" << o.timeoutSeconds;
    if (o.hasParams()) text << " +params";
    return text.str();
}

TEST(FireOptions, ParsesArguments) {
    const std::pair<Args, std::string> cases[] = {
        {{"--pixel-id", "px-1", "Purchase"}, "pi='px-1' e='Purchase'"},
        {{"--base-url=http://127.0.0.1:9/velto/mob?", "--debug", "--app-id", "com.x", "--value",
          "25", "--currency=USD", "--item-id", "A1,B2", "--item-type", "shoe", "--item-name",
          "Red shoe", "--count=3", "--timeout", "0.25", "Lead", "--pixel-id", "px-1"},
         "pi='px-1' e='Lead' url='http://127.0.0.1:9/velto/mob?' app='com.x' va='25' c='USD' "
         "ii='A1,B2' itp='shoe' in='Red shoe' debug n=3 t=0.25 +params"},
        // --param splits at the first "="; pairs keep their order, repeated keys too.
        {{"--pixel-id", "p", "--param", "f=a=b", "--param", "=v", "--param=k=", "--param", "k=2",
          "E"},
         "pi='p' e='E' [f=a=b] [=v] [k=] [k=2] +params"},
        {{"--pixel-id=  ", "--", "--not-an-option"}, "pi='  ' e='--not-an-option'"},
        {{"--pixel-id", "--help", "E"}, "pi='--help' e='E'"},  // help as a value
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
