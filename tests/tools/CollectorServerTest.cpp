// Starts the real velto-collector on a free loopback port and posts to it.
#include <gtest/gtest.h>
#include <httplib.h>

#include "WorkedExample.hpp"
#include "support/Loopback.hpp"

namespace {

using nlohmann::json;
using VeltoSDK::testing::Collector;

class CollectorServer : public testing::Test {
protected:
    void SetUp() override {
        const std::string base = collector.start();
        ASSERT_FALSE(base.empty());
        client = std::make_unique<httplib::Client>(base.substr(0, base.find("/velto")));
        client->set_read_timeout(5);
    }
    httplib::Result post(const std::string& query, const std::string& body) {
        return client->Post("/velto/mob?" + query, {{"Accept", "application/json"}}, body,
                            "application/json");
    }
    json nextRecord() {
        auto line = collector.readLine();
        EXPECT_TRUE(line) << "no record line";
        return line ? json::parse(*line) : json();
    }

    Collector collector{{VELTO_COLLECTOR_PATH, "--port", "0", "--pixel", "px-1", "--pixel", "px-2",
                         "--event", "TutorialDone"}};
    std::unique_ptr<httplib::Client> client;
};

TEST_F(CollectorServer, AcceptsAGoodEventAndRecordsIt) {
    for (const char* query : {"e=Purchase&pi=px-2", "e=TutorialDone&pi=px-1"}) {
        auto result = post(query, workedExampleBody().dump(2));
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200) << query;
        json record = nextRecord();
        EXPECT_EQ(record["verdict"], "ACCEPTED");
        EXPECT_EQ(record["target"], std::string("/velto/mob?") + query);
        EXPECT_EQ(record["body"], workedExampleBody());
    }
}

TEST_F(CollectorServer, RefusesWithTheThreeBodies) {
    const std::string body = workedExampleBody().dump();
    const std::string cases[][3] = {
        {"e=Purchase&pi=px-9", "UNREGISTERED_PIXEL_ID", "pi"},
        {"e=LevelUp&pi=px-1", "PIXEL_UNSUPPORTED_EVENT", "e"},
        {"e=&pi=px-1", "PIXEL_MISSING_REQUIRED_FIELD", "e"},
    };
    for (const auto& [query, reason, field] : cases) {
        auto result = post(query, body);
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 400);
        EXPECT_EQ(result->body,
                  "Failed to parse pixel: " + reason + " error_string:\"" + field + "\"");
        json record = nextRecord();
        EXPECT_EQ(record["verdict"], reason);
        EXPECT_EQ(record["field"], field);
    }
    post("e=Lead&pi=px-1", "{\"et\":");  // text that is not JSON is recorded as text
    EXPECT_EQ(nextRecord()["bodyText"], "{\"et\":");
}

TEST_F(CollectorServer, StopsCleanlyOnSigterm) {
    EXPECT_TRUE(VeltoSDK::testing::exitedWith(collector.stop(SIGTERM), 0));
}

}  // namespace
