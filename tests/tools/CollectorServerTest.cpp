// Starts the real velto-collector on a free loopback port and posts to it.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "WorkedExample.hpp"
#include "support/CollectorProcess.hpp"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using VeltoSDK::testing::Collector;

const httplib::Headers kJsonHeaders{{"Accept", "application/json"}};

class CollectorServer : public testing::Test {
protected:
    void SetUp() override {
        port_ = collector_.start();
        ASSERT_GT(port_, 0);
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client_->set_connection_timeout(5);
        client_->set_read_timeout(5);
    }

    httplib::Result post(const std::string& query, const std::string& body) {
        return client_->Post("/velto/mob?" + query, kJsonHeaders, body, "application/json");
    }

    json nextRecord() {
        auto line = collector_.readLine();
        if (!line) {
            ADD_FAILURE() << "no record line";
            return nullptr;
        }
        return json::parse(*line);
    }

    void expectRefusal(const std::string& query, const std::string& body, const std::string& reason,
                       const std::string& field) {
        auto result = post(query, body);
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 400);
        EXPECT_EQ(result->body,
                  "Failed to parse pixel: " + reason + " error_string:\"" + field + "\"");
        json record = nextRecord();
        EXPECT_EQ(record["status"], 400);
        EXPECT_EQ(record["verdict"], reason);
        EXPECT_EQ(record["field"], field);
    }

    Collector collector_{
        {"--port", "0", "--pixel", "px-1", "--pixel", "px-2", "--event", "TutorialDone"}};
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(CollectorServer, AcceptsAGoodEventAndRecordsIt) {
    EXPECT_EQ(collector_.baseURL(), "http://127.0.0.1:" + std::to_string(port_) + "/velto/mob?");
    auto result = post("e=Purchase&pi=px-2", workedExampleBody().dump(2));
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 200);

    json record = nextRecord();
    EXPECT_EQ(record["method"], "POST");
    EXPECT_EQ(record["target"], "/velto/mob?e=Purchase&pi=px-2");
    EXPECT_EQ(record["query"], (json{{"e", "Purchase"}, {"pi", "px-2"}}));
    EXPECT_EQ(record["headers"],
              (json{{"Content-Type", "application/json"}, {"Accept", "application/json"}}));
    EXPECT_EQ(record["body"], workedExampleBody());
    EXPECT_EQ(record["status"], 200);
    EXPECT_EQ(record["verdict"], "ACCEPTED");
    EXPECT_FALSE(record.contains("field"));

    result = post("e=TutorialDone&pi=px-1", workedExampleBody().dump());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << "an event added with --event";
    EXPECT_EQ(nextRecord()["verdict"], "ACCEPTED");
}

TEST_F(CollectorServer, RefusesWithTheThreeReasons) {
    const std::string body = workedExampleBody().dump();
    expectRefusal("e=Purchase&pi=px-9", body, "UNREGISTERED_PIXEL_ID", "pi");
    expectRefusal("e=LevelUp&pi=px-1", body, "PIXEL_UNSUPPORTED_EVENT", "e");
    expectRefusal("e=&pi=px-1", body, "PIXEL_MISSING_REQUIRED_FIELD", "e");

    json withoutOs = workedExampleBody();
    withoutOs.erase("os");
    expectRefusal("e=Purchase&pi=px-1", withoutOs.dump(), "PIXEL_MISSING_REQUIRED_FIELD", "os");
}

TEST_F(CollectorServer, RecordsABodyThatIsNotJsonAsText) {
    expectRefusal("e=Lead&pi=px-1", "not json", "PIXEL_MISSING_REQUIRED_FIELD", "body");
    // The record of that request was consumed above; send one more to look at its fields.
    post("e=Lead&pi=px-1", "{\"et\":");
    json record = nextRecord();
    EXPECT_TRUE(record["body"].is_null());
    EXPECT_EQ(record["bodyText"], "{\"et\":");
}

TEST_F(CollectorServer, ChecksMethodAndHeaders) {
    auto result = client_->Get("/velto/mob?e=Purchase&pi=px-1");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    EXPECT_EQ(nextRecord()["field"], "method");

    result =
        client_->Post("/velto/mob?e=Purchase&pi=px-1", workedExampleBody().dump(), "text/plain");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body,
              R"(Failed to parse pixel: PIXEL_MISSING_REQUIRED_FIELD error_string:"Content-Type")");
    EXPECT_EQ(nextRecord()["headers"]["Accept"], "*/*");

    result = client_->Get("/elsewhere");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
    EXPECT_EQ(nextRecord()["verdict"], "NOT_FOUND");
}

TEST_F(CollectorServer, StopsCleanlyOnSigtermAndSigint) {
    auto status = collector_.stop(SIGTERM);
    ASSERT_TRUE(status) << "still running";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);

    Collector other({"--port", "0"});
    ASSERT_GT(other.start(), 0);
    status = other.stop(SIGINT);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST(CollectorCommandLine, UsageErrorExitsWithTwo) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--bogus"},
                                          {"--port", "70000"},
                                          {"--tls-cert", "cert.pem"},
                                          {"--pixel"}}) {
        Collector collector(args);
        auto status = collector.stop(0);  // signal 0 only checks; the process exits by itself
        ASSERT_TRUE(status) << args.front();
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << args.front();
    }
}

}  // namespace
