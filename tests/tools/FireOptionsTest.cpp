#include "FireOptions.hpp"

#include <gtest/gtest.h>

namespace {

using namespace VeltoSDK::fire;
using Args = std::vector<std::string>;

FireOptions parsed(const Args& args) {
    ParseResult result = parseFireArguments(args);
    if (auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << "usage error: " << error->message;
        return {};
    }
    EXPECT_TRUE(std::holds_alternative<FireOptions>(result));
    return std::holds_alternative<FireOptions>(result) ? std::get<FireOptions>(result)
                                                       : FireOptions{};
}

bool isUsageError(const Args& args) {
    return std::holds_alternative<UsageError>(parseFireArguments(args));
}

TEST(FireOptions, DefaultsWithOnlyPixelIdAndEvent) {
    FireOptions options = parsed({"--pixel-id", "px-1", "Purchase"});
    EXPECT_EQ(options.pixelId, "px-1");
    EXPECT_EQ(options.eventName, "Purchase");
    EXPECT_EQ(options.count, 1);
    EXPECT_DOUBLE_EQ(options.timeoutSeconds, 10.0);
    EXPECT_FALSE(options.debug);
    EXPECT_FALSE(options.appId) << "no app id unless given";
    EXPECT_FALSE(options.baseURL);
    EXPECT_FALSE(options.hasParams()) << "the event is fired without parameters";
}

TEST(FireOptions, EveryOptionInEitherForm) {
    FireOptions options = parsed({"--base-url=http://127.0.0.1:9/velto/mob?", "--debug", "--app-id",
                                  "com.example.app", "--value", "25", "--currency=USD", "--item-id",
                                  "A1,B2", "--item-type", "shoe", "--item-name", "Red shoe",
                                  "--count=3", "--timeout", "0.25", "Lead", "--pixel-id", "px-1"});
    EXPECT_EQ(options.baseURL, "http://127.0.0.1:9/velto/mob?");
    EXPECT_TRUE(options.debug);
    EXPECT_EQ(options.appId, "com.example.app");
    EXPECT_EQ(options.value, "25");
    EXPECT_EQ(options.currency, "USD");
    EXPECT_EQ(options.itemId, "A1,B2") << "lists pass as one text";
    EXPECT_EQ(options.itemType, "shoe");
    EXPECT_EQ(options.itemName, "Red shoe");
    EXPECT_EQ(options.count, 3);
    EXPECT_DOUBLE_EQ(options.timeoutSeconds, 0.25);
    EXPECT_EQ(options.eventName, "Lead");
}

TEST(FireOptions, ParamSplitsAtTheFirstEquals) {
    FireOptions options =
        parsed({"--pixel-id", "p", "--param", "formula=a=b", "--param", "=v", "--param",
                "k=", "--param=color=red,blue", "--param", "k=2", "E"});
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(options.params,
              (std::vector<Pair>{
                  {"formula", "a=b"}, {"", "v"}, {"k", ""}, {"color", "red,blue"}, {"k", "2"}}))
        << "in the order given, repeated keys kept";
    EXPECT_TRUE(options.hasParams());
    EXPECT_TRUE(isUsageError({"--pixel-id", "p", "--param", "novalue", "E"}));
}

TEST(FireOptions, EmptyAndBlankTextsPassAsGiven) {
    FireOptions options = parsed({"--pixel-id", "", "--value", "", "--app-id=", ""});
    EXPECT_EQ(options.pixelId, "");
    EXPECT_EQ(options.value, "") << "an empty value is stored, not dropped";
    EXPECT_TRUE(options.hasParams());
    EXPECT_EQ(options.appId, "");
    EXPECT_EQ(options.eventName, "");

    options = parsed({"--pixel-id=  ", "--", "--not-an-option"});
    EXPECT_EQ(options.pixelId, "  ");
    EXPECT_EQ(options.eventName, "--not-an-option") << "after -- everything is the event";
}

TEST(FireOptions, UsageErrors) {
    const std::vector<Args> cases{
        {"Purchase"},                              // no pixel id
        {"--pixel-id", "p"},                       // no event
        {"--pixel-id", "p", "A", "B"},             // two events
        {"--pixel-id", "p", "--bogus", "A"},       // unknown option
        {"--pixel-id", "p", "A", "--value"},       // option without its value
        {"--pixel-id", "p", "--count", "0", "A"},  // at least one
        {"--pixel-id", "p", "--count", "-1", "A"},
        {"--pixel-id", "p", "--count", "2.5", "A"},
        {"--pixel-id", "p", "--count", "3x", "A"},
        {"--pixel-id", "p", "--count", "99999999999", "A"},
        {"--pixel-id", "p", "--timeout", "-1", "A"},
        {"--pixel-id", "p", "--timeout", "soon", "A"},
        {"--pixel-id", "p", "--timeout", "inf", "A"},
        {"--pixel-id", "p", "--timeout", "", "A"},
        {"--debug=yes", "--pixel-id", "p", "A"},
    };
    for (const Args& args : cases) {
        std::string joined;
        for (const auto& arg : args) joined += "[" + arg + "]";
        EXPECT_TRUE(isUsageError(args)) << joined;
    }
}

TEST(FireOptions, HelpWinsUnlessItIsAValue) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseFireArguments({"--help"})));
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseFireArguments({"A", "B", "--help"})));
    FireOptions options = parsed({"--pixel-id", "--help", "E"});
    EXPECT_EQ(options.pixelId, "--help");
    options = parsed({"--pixel-id", "p", "--", "--help"});
    EXPECT_EQ(options.eventName, "--help");
}

}  // namespace
