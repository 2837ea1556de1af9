// Starts the real velto-collector on a free loopback port and posts to it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "WorkedExample.hpp"

extern char** environ;

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// The collector as a child process whose standard output is read line by line.
class Collector {
public:
    explicit Collector(std::vector<std::string> args) {
        args.insert(args.begin(), VELTO_COLLECTOR_PATH);
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }

    ~Collector() {
        if (pid_ > 0 && !exitStatus_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }

    // The next line of standard output, or none when the collector is silent for `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5s) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (auto newline = buffer_.find('\n'); newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{out_, POLLIN, 0};
            if (left <= 0ms || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[4096];
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads the "listening on URL" line and returns the port, or 0.
    int start() {
        auto line = readLine(10s);
        const std::string prefix = "listening on http://127.0.0.1:";
        if (!line || !line->starts_with(prefix) || !line->ends_with("/velto/mob?")) {
            ADD_FAILURE() << "first line: " << line.value_or("(none)");
            return 0;
        }
        baseURL_ = line->substr(std::string("listening on ").size());
        return std::stoi(line->substr(prefix.size()));
    }

    const std::string& baseURL() const { return baseURL_; }

    // Sends `signal` and waits for the exit; the wait status, or none after 10 s.
    std::optional<int> stop(int signal) {
        kill(pid_, signal);
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) return exitStatus_ = status;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::string baseURL_;
    std::optional<int> exitStatus_;
};

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
