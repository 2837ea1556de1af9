// The C interface through the public library: each function reaches the library's behaviour,
// NULL and size arguments are safe, and the reference count holds across threads. The C and
// C++ headers share this translation unit (the C handle and the C++ class are both named
// VeltoParams, in different scopes); a C99 compiler reads the header in the package test.
#include <VeltoSDK/velto.h>
#include <VeltoSDK/VeltoSDK.hpp>

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// The dictionary's JSON text, freed.
std::string json(const ::VeltoParams* params) {
    char* text = velto_params_dictionaryJSON(params);
    const std::string copy = text ? text : "(null)";
    velto_free(text);
    return copy;
}

// Each line's level and message, then each outcome, after its context. The handlers run one at
// a time: the app thread's lines come before the hand-over, the others on the worker.
std::string told;

void logTo(void* context, VeltoLogLevel level, const char* line, size_t length) {
    const char* arrow = std::strstr(line, " -> ");
    told += static_cast<const char*>(context) +
            std::to_string(level + 100 * (strlen(line) != length)) + " " +
            (arrow ? arrow + 4 : line) + "|";
}

void outcomeTo(void* context, const VeltoOutcome* o) {
    told += static_cast<const char*>(context) + std::to_string(o->kind) + " " + o->eventName + " " +
            std::to_string(o->refusal) + " " + std::to_string(o->statusCode) + " " + o->message +
            "|";
}

TEST(CApi, SettingsAndHandlersReachTheLibrary) {
    static const char url[] = "http://127.0.0.1:9/velto/mob?";  // port 9 refuses: transport errors
    char buffer[64];
    velto_initialize(nullptr);  // the blank id: events are refused
    EXPECT_FALSE(velto_fireEvent(VeltoEvent_PAGE_VIEW, nullptr));
    velto_setBaseURL(nullptr);
    EXPECT_EQ(velto_baseURL(buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    velto_setBaseURL(url);
    std::memset(buffer, 'x', sizeof buffer);  // the getters follow snprintf
    for (auto [into, size] : {std::pair<char*, size_t>{nullptr, 10}, {buffer, 0}, {buffer, 5}})
        EXPECT_EQ(velto_baseURL(into, size), sizeof url - 1) << size;
    EXPECT_EQ(std::string(buffer, 6), std::string("http\0x", 6));
    EXPECT_EQ(velto_baseURL(buffer, sizeof url), sizeof url - 1);
    EXPECT_STREQ(buffer, url);

    velto_initialize("pixel-1");
    velto_platform_setMainBundleIdentifier("com.c");
    velto_platform_setSystemVersion("9.9");
    velto_platform_setAdvertisingTrackingEnabled(false);
    velto_platform_setCarrier("Net", "310", nullptr);
    velto_setDebugMode(true);
    EXPECT_TRUE(velto_debugMode());
    velto_setLogHandler(logTo, const_cast<char*>("log"));
    velto_setOutcomeHandler(outcomeTo, const_cast<char*>("outcome"));
    ::VeltoParams* params = velto_params_initWithValue("9.99", nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(velto_fireEvent("Signup", params) && velto_flush(10.0));
    velto_params_release(params);
    for (const char* expected :
         {"log1 fireEvent API is getting called|", "\"va\": \"9.99\"", "\"appid\": \"com.c\"",
          "\"os\": \"iOS 9.9\"", "\"late\": true", "\"carrier\": \"Net\",\n    \"mcc\": \"310\"",
          "|log2 Error: calling Post APi Optional(",
          "|outcome2 Signup 0 0 Error: calling Post APi Optional("})
        EXPECT_NE(told.find(expected), std::string::npos) << expected << " in " << told;

    velto_setLogLevel(VELTO_LOG_ERROR);  // the error line and the outcome only
    EXPECT_EQ(velto_logLevel(), VELTO_LOG_ERROR);
    told.clear();
    EXPECT_TRUE(velto_fireEvent(nullptr, nullptr) && velto_flush(10.0));  // NULL name: ""
    EXPECT_TRUE(told.starts_with("log2 Error: calling") && told.ends_with(")|")) << told;
    EXPECT_NE(told.find(")|outcome2  0 0 Error"), std::string::npos) << told;
    httplib::Server refusing;  // the refusal's kind, reason and status reach the C outcome
    refusing.Post("/velto/mob", [](const httplib::Request&, httplib::Response& answer) {
        answer.status = 400;
        answer.set_content("Failed to parse pixel: UNREGISTERED_PIXEL_ID", "text/plain");
    });
    const int port = refusing.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { refusing.listen_after_bind(); });
    velto_setBaseURL(("http://127.0.0.1:" + std::to_string(port) + "/velto/mob?").c_str());
    told.clear();
    EXPECT_TRUE(velto_fireEvent("Lead", nullptr) && velto_flush(10.0));
    refusing.stop();
    serving.join();
    EXPECT_NE(told.find("|outcome1 Lead 3 400 Error: Velto server does not recognize Velto Id|"),
              std::string::npos)
        << told;

    velto_setLogHandler(nullptr, nullptr);  // back to standard output
    velto_setOutcomeHandler(nullptr, nullptr);
    velto_platform_setMainBundleIdentifier(nullptr);  // every NULL has a meaning; none crashes
    velto_platform_setSystemVersion(nullptr);
    velto_platform_setAdvertisingIdentifier(nullptr);
    velto_platform_setCarrier(nullptr, nullptr, nullptr);
    told.clear();
    EXPECT_TRUE(velto_fireEvent("Signup", nullptr) && velto_flush(10.0));
    EXPECT_EQ(told, "");
}

TEST(CApi, ParamsFollowTheNullRules) {
    using Get = size_t (*)(const ::VeltoParams*, char*, size_t);
    using Set = void (*)(::VeltoParams*, const char*);
    const std::tuple<Get, Set, const char*> properties[] = {
        {velto_params_value, velto_params_setValue, "va"},
        {velto_params_currency, velto_params_setCurrency, "c"},
        {velto_params_itemId, velto_params_setItemId, "ii"},
        {velto_params_itemType, velto_params_setItemType, "itp"},
        {velto_params_itemName, velto_params_setItemName, "in"},
    };
    char buffer[8] = "x";
    ::VeltoParams* params = velto_params_init();
    for (const auto& [get, set, key] : properties) {
        EXPECT_EQ(get(params, buffer, sizeof buffer), 0u);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(get(nullptr, buffer, sizeof buffer), 0u);  // a NULL object reads ""
        set(nullptr, "x");                                   // and is left alone
    }
    EXPECT_EQ(json(params), "{}");                                        // reading adds no key
    for (const auto& [get, set, key] : properties) set(params, nullptr);  // NULL stores ""
    velto_params_put(params, nullptr, nullptr);
    velto_params_put(nullptr, "k", "v");
    velto_params_put(params, "q\"k", "\x01\x1fx\xff");  // not UTF-8: U+FFFD, not bad JSON
    EXPECT_EQ(json(params),
              "{\"\":\"\",\"c\":\"\",\"ii\":\"\",\"in\":\"\",\"itp\":\"\","
              "\"q\\\"k\":\"\\u0001\\u001fx\xef\xbf\xbd\",\"va\":\"\"}");
    for (const auto& [get, set, key] : properties) {
        velto_params_put(params, key, "A1,B2345");  // a key is its property
        EXPECT_EQ(get(params, buffer, 4), 8u);
        EXPECT_STREQ(buffer, "A1,") << key;
    }
    velto_params_release(params);

    params = velto_params_initWithValue("", nullptr, "A1", nullptr, "Shoe");  // NULL: no key
    EXPECT_EQ(json(params), R"({"ii":"A1","in":"Shoe","va":""})");
    velto_params_release(params);
    EXPECT_EQ(velto_params_retain(nullptr), nullptr);
    EXPECT_EQ(velto_params_dictionaryJSON(nullptr), nullptr);
    velto_params_release(nullptr);
    velto_free(nullptr);
}

// A sanitizer build reports a use after free or a leak if the count goes wrong.
TEST(CApi, ReferenceCountHoldsAcrossThreads) {
    ::VeltoParams* params = velto_params_init();
    velto_params_put(params, "still", "alive");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([params] {
            for (int i = 0; i < 20000; ++i) velto_params_release(velto_params_retain(params));
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(json(params), R"({"still":"alive"})");
    velto_params_release(params);  // 0: freed
}

TEST(CApi, NamesAndVersionsMatchTheCppInterface) {
    EXPECT_STREQ(velto_version(), VELTOSDK_VERSION_STRING);
    EXPECT_EQ(VeltoSDKVersionNumber, 1.0);  // the older values stay as they were
    EXPECT_STREQ(reinterpret_cast<const char*>(VeltoSDKVersionString),
                 "@(#)PROGRAM:VeltoSDK  PROJECT:VeltoSDK-1\n");
    using namespace VeltoSDK;  // qualified where the two VeltoParams would be ambiguous
    EXPECT_EQ(VeltoEvent_LEAD, std::string(Event::LEAD));
    EXPECT_EQ(VeltoSDK::VeltoParams("5", {}, {}, {}, {}).value(), "5");
}

}  // namespace
