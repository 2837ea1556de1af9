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

TEST_F(HttpClientTest, SilentServerEndsInATimeoutAfterTheIdleInterval) {
    SilentServer server;
    auto started = std::chrono::steady_clock::now();
    Completion done = fetch(makeRequest(server.url("/never"), "POST", 1.0));
    ASSERT_TRUE(done.error);
    EXPECT_EQ(done.error->code, 28);
    EXPECT_NE(done.error->debugDescription.find("127.0.0.1"), std::string::npos);
    EXPECT_FALSE(done.hasResponse);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
}

TEST_F(HttpClientTest, ResponseBodiesOverOneMebibyteFail) {
    LocalServer server;
    const std::string limit(1024 * 1024, 'a');
    server.routes().Get("/exact",
                        [&](const auto&, auto& res) { res.set_content(limit, "text/plain"); });
    server.routes().Get(
        "/sized", [&](const auto&, auto& res) { res.set_content(limit + "b", "text/plain"); });
    server.routes().Get("/chunked", [&](const auto&, auto& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t offset, httplib::DataSink& sink) {
            if (offset > limit.size()) return sink.done(), true;
            return sink.write(limit.data(), 64 * 1024);
        });
    });
    server.start();
    EXPECT_EQ(fetch(makeRequest(server.url("/exact"))).data, limit);
    for (const char* path : {"/sized", "/chunked"}) {
        Completion over = fetch(makeRequest(server.url(path)));
        ASSERT_TRUE(over.error) << path;
        EXPECT_EQ(over.error->code, 63) << path;
        EXPECT_FALSE(over.data) << path;
    }
}

TEST_F(HttpClientTest, OtherSchemesGetAResponseThatIsNotHTTP) {
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x", "FILE:///etc/passwd"}) {
        Completion done = fetch(makeRequest(url));
        EXPECT_TRUE(done.hasResponse && !done.statusCode && !done.error) << url;
        EXPECT_FALSE(done.data) << url << " must not be read";
    }
}

TEST_F(HttpClientTest, HttpsTrustsOnlyTheConfiguredCertificates) {
    LocalServer server(testCertificate());
    server.routes().Get("/tls",
                        [](const auto&, auto& res) { res.set_content("secure", "text/plain"); });
    server.start();
    Completion untrusted = fetch(makeRequest(server.url("/tls")));
    ASSERT_TRUE(untrusted.error);
    EXPECT_EQ(untrusted.error->code, 60);
    CurlHttpClient trusting(CurlClientOptions{.caBundle = testCertificate().certFile});
    EXPECT_EQ(fetch(makeRequest(server.url("/tls")), trusting).data, "secure");
}

TEST_F(HttpClientTest, ASaturatedClientRefusesAtOnceAndRecovers) {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int held = 0;
    LocalServer server;
    server.routes().Get("/held", [&](const auto&, auto& res) {
        std::unique_lock lock(mutex);
        ++held;
        changed.notify_all();
        changed.wait_for(lock, 10s, [&] { return open; });
        res.set_content("late", "text/plain");
    });
    server.start();
    // Six run and two wait for a connection; all eight count.
    CurlHttpClient client(CurlClientOptions{.maxTransfers = 8, .caBundle = {}});
    for (int i = 0; i < 8; ++i) send(client, makeRequest(server.url("/held")));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return held >= 6; }));
    }
    send(client, makeRequest(server.url("/held")));
    {
        std::unique_lock lock(recordedMutex);
        ASSERT_TRUE(recordedChanged.wait_for(lock, 5s, [] { return !recorded.empty(); }));
        ASSERT_TRUE(recorded[0].error);
        EXPECT_EQ(recorded[0].error->code, platform::linux_os::kSaturatedErrorCode);
        EXPECT_NE(recorded[0].error->debugDescription.find("saturated"), std::string::npos);
    }
    EXPECT_FALSE(client.flush(0.05)) << "eight are still held";
    {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    ASSERT_TRUE(client.flush(10));
    send(client, makeRequest(server.url("/held")));
    ASSERT_TRUE(client.flush(10));
    auto all = completions();
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& c) { return c.statusCode == 200; }),
              9);
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
