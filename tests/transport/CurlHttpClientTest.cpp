#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <set>

#include "TestServers.hpp"
#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::testing {
namespace {

using platform::linux_os::CurlClientOptions;
using platform::linux_os::CurlHttpClient;

// What one completion handler call received.
struct Completion {
    std::optional<std::string> data;
    bool hasResponse = false;
    std::optional<int> statusCode;
    std::optional<platform::TransportError> error;
    std::thread::id thread;
};

// Completion handlers capture nothing, so they report here.
std::mutex recordedMutex;
std::condition_variable recordedChanged;
std::vector<Completion> recorded;

void record(const std::optional<std::string>& data, const platform::URLResponse* response,
            const platform::TransportError* error) {
    Completion c{data, response != nullptr, response ? response->statusCode : std::nullopt,
                 error ? std::optional(*error) : std::nullopt, std::this_thread::get_id()};
    std::lock_guard lock(recordedMutex);
    recorded.push_back(std::move(c));
    recordedChanged.notify_all();
}

std::vector<Completion> completions() {
    std::lock_guard lock(recordedMutex);
    return recorded;
}

CurlHttpClient& sharedClient() {
    static auto* client = new CurlHttpClient(CurlClientOptions{});
    return *client;
}

void send(platform::HttpClient& client, platform::HttpRequest request) {
    client.dataTask(std::move(request), &record)->resume();
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard lock(recordedMutex);
        recorded.clear();
    }
    void TearDown() override { EXPECT_TRUE(sharedClient().flush(10)); }

    // Sends one request and waits for its completion.
    Completion fetch(platform::HttpRequest request, platform::HttpClient& client = sharedClient()) {
        SetUp();
        send(client, std::move(request));
        EXPECT_TRUE(client.flush(10));
        auto all = completions();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? Completion{} : all.front();
    }
};

// Timeouts, oversized bodies, TLS trust and saturation are tested through the whole library in
// the reliability suite.
TEST_F(HttpClientTest, SuccessiveRequestsReuseOneConnection) {
    LocalServer server;
    std::mutex mutex;
    std::set<int> ports;
    bool injected = false;
    server.routes().Post("/p", [&](const httplib::Request& req, auto& res) {
        std::lock_guard lock(mutex);
        ports.insert(req.remote_port);
        injected |= req.has_header("Injected");
        res.set_content("ok", "text/plain");
    });
    server.start();
    for (int i = 0; i < 4; ++i) {
        auto request = makeRequest(server.url("/p"), "POST");
        request.addValue("evil\r\nInjected: 1", "X-Bad");  // a header value may not add lines
        Completion done = fetch(std::move(request));
        EXPECT_EQ(done.statusCode, 200);
        EXPECT_EQ(done.data, "ok");
        EXPECT_NE(done.thread, std::this_thread::get_id());
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(ports.size(), 1u);
    EXPECT_FALSE(injected);
}

TEST_F(HttpClientTest, RunsAtMostSixConnectionsPerHost) {
    LocalServer server;
    std::atomic<int> inFlight{0}, most{0};
    std::mutex mutex;
    std::set<int> ports;
    server.routes().Get("/slow", [&](const httplib::Request& req, auto& res) {
        int now = ++inFlight;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(150ms);
        --inFlight;
        std::lock_guard lock(mutex);
        ports.insert(req.remote_port);
        res.set_content("done", "text/plain");
    });
    server.start();
    for (int i = 0; i < 20; ++i) send(sharedClient(), makeRequest(server.url("/slow")));
    ASSERT_TRUE(sharedClient().flush(20));
    auto all = completions();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& c) { return c.statusCode == 200; }),
              20);
    EXPECT_LE(most.load(), 6);
    EXPECT_GT(most.load(), 1) << "transfers to one host still run side by side";
    std::lock_guard lock(mutex);
    EXPECT_LE(ports.size(), 6u);
}

TEST_F(HttpClientTest, OtherSchemesGetAResponseThatIsNotHTTP) {
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x", "FILE:///etc/passwd"}) {
        Completion done = fetch(makeRequest(url));
        EXPECT_TRUE(done.hasResponse && !done.statusCode && !done.error) << url;
        EXPECT_FALSE(done.data) << url << " must not be read";
    }
}

TEST_F(HttpClientTest, FlushWaitsForTasksResumedSoFarAndEachCompletesOnce) {
    EXPECT_TRUE(sharedClient().flush(0)) << "nothing outstanding";
    LocalServer server;
    server.routes().Get("/slow", [](const auto&, auto& res) {
        std::this_thread::sleep_for(400ms);
        res.set_content("ok", "text/plain");
    });
    server.start();
    auto task = sharedClient().dataTask(makeRequest(server.url("/slow")), &record);
    auto idle =
        sharedClient().dataTask(makeRequest(server.url("/slow")), &record);  // never resumed
    task->resume();
    task->resume();  // a second resume starts nothing
    EXPECT_FALSE(sharedClient().flush(0.05));
    EXPECT_TRUE(completions().empty());
    EXPECT_TRUE(sharedClient().flush(10));
    std::this_thread::sleep_for(50ms);  // room for a stray second call
    EXPECT_EQ(completions().size(), 1u) << "the handler returned before flush did";
}

}  // namespace
}  // namespace VeltoSDK::testing
