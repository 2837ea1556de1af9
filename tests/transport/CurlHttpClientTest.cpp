#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "TestServers.hpp"
#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;
using platform::linux_os::CurlClientOptions;
using platform::linux_os::CurlHttpClient;
using ::testing::HasSubstr;
using ::testing::Not;

CurlHttpClient& sharedClient() {
    static auto* client = new CurlHttpClient(CurlClientOptions{});
    return *client;
}

void send(platform::HttpClient& client, platform::HttpRequest request) {
    client.dataTask(std::move(request), &Recorder::handler)->resume();
}

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override { Recorder::reset(); }
    void TearDown() override { EXPECT_TRUE(sharedClient().flush(10)); }

    // Sends one request with the shared client and waits for its completion.
    Completion fetch(platform::HttpRequest request) {
        Recorder::reset();
        send(sharedClient(), std::move(request));
        EXPECT_TRUE(sharedClient().flush(10));
        auto completions = Recorder::completions();
        EXPECT_EQ(completions.size(), 1u);
        return completions.empty() ? Completion{} : completions.front();
    }
};

TEST_F(HttpClientTest, DeliversStatusAndBodyOnTheWorkerThread) {
    LocalServer server;
    server.routes().Get("/hello",
                        [](const auto&, auto& res) { res.set_content("hi", "text/plain"); });
    server.routes().Get("/missing", [](const auto&, auto& res) {
        res.status = 404;
        res.set_content("no such pixel", "text/plain");
    });
    server.start();

    Completion ok = fetch(makeRequest(server.url("/hello")));
    EXPECT_EQ(ok.statusCode, 200);
    EXPECT_EQ(ok.data, "hi");
    EXPECT_FALSE(ok.error);
    EXPECT_NE(ok.thread, std::this_thread::get_id());

    Completion missing = fetch(makeRequest(server.url("/missing")));
    EXPECT_EQ(missing.statusCode, 404);
    EXPECT_EQ(missing.data, "no such pixel");
    EXPECT_EQ(missing.thread, ok.thread) << "one worker runs every completion";
}

TEST_F(HttpClientTest, SendsMethodHeadersInOrderAndBodyUnchanged) {
    RawCaptureServer server;
    auto request = makeRequest(server.url("/velto/mob?e=a&b&pi=1"), "POST");
    request.setHttpBody("{\n  \"k\" : \"v\"\n}");
    request.addValue("application/json", "Content-Type");
    request.addValue("application/json", "Accept");
    request.addValue("x", "X-Z-Last");
    request.addValue("evil\r\nInjected: 1", "X-Bad");
    Completion done = fetch(std::move(request));
    EXPECT_EQ(done.statusCode, 200);

    std::string seen = server.request();
    EXPECT_THAT(seen, ::testing::StartsWith("POST /velto/mob?e=a&b&pi=1 HTTP/1.1\r\n"));
    EXPECT_THAT(seen, HasSubstr("Content-Type: application/json\r\nAccept: application/json\r\n"
                                "X-Z-Last: x\r\n"));
    EXPECT_THAT(seen, HasSubstr("Content-Length: 15\r\n"));
    EXPECT_THAT(seen, ::testing::EndsWith("\r\n\r\n{\n  \"k\" : \"v\"\n}"));
    EXPECT_THAT(seen, Not(HasSubstr("Expect:")));
    EXPECT_THAT(seen, Not(HasSubstr("Injected")));
    EXPECT_THAT(seen, Not(HasSubstr("x-www-form-urlencoded")));
}

TEST_F(HttpClientTest, OtherMethodsKeepTheirNameAndBody) {
    RawCaptureServer server;
    auto request = makeRequest(server.url("/item"), "PUT");
    request.setHttpBody("data");
    fetch(std::move(request));
    std::string seen = server.request();
    EXPECT_THAT(seen, ::testing::StartsWith("PUT /item HTTP/1.1\r\n"));
    EXPECT_THAT(seen, ::testing::EndsWith("\r\n\r\ndata"));
    EXPECT_THAT(seen, Not(HasSubstr("Content-Type")));
}

TEST_F(HttpClientTest, ReusesOneConnectionForSuccessiveRequests) {
    LocalServer server;
    std::mutex mutex;
    std::set<int> ports;
    server.routes().Post("/p", [&](const httplib::Request& req, auto& res) {
        std::lock_guard lock(mutex);
        ports.insert(req.remote_port);
        res.set_content("ok", "text/plain");
    });
    server.start();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fetch(makeRequest(server.url("/p"), "POST")).statusCode, 200);
    std::lock_guard lock(mutex);
    EXPECT_EQ(ports.size(), 1u);
}

TEST_F(HttpClientTest, RunsAtMostSixTransfersPerHostAndQueuesTheRest) {
    LocalServer server;
    std::atomic<int> inFlight{0}, most{0};
    std::mutex mutex;
    std::set<int> ports;
    server.routes().Get("/slow", [&](const httplib::Request& req, auto& res) {
        int now = ++inFlight;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(150ms);
        {
            std::lock_guard lock(mutex);
            ports.insert(req.remote_port);
        }
        --inFlight;
        res.set_content("done", "text/plain");
    });
    server.start();

    for (int i = 0; i < 20; ++i)
        send(sharedClient(), makeRequest(server.url("/slow")));
    ASSERT_TRUE(sharedClient().flush(20));
    auto completions = Recorder::completions();
    ASSERT_EQ(completions.size(), 20u);
    for (const auto& c : completions)
        EXPECT_EQ(c.statusCode, 200);
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
    EXPECT_THAT(done.error->debugDescription, HasSubstr("127.0.0.1"));
    EXPECT_FALSE(done.hasResponse);
    EXPECT_FALSE(done.data);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
}

TEST_F(HttpClientTest, RefusedConnectionIsATransportErrorOnOneLine) {
    ClosedPort port;
    Completion done = fetch(makeRequest(port.url("/x")));
    ASSERT_TRUE(done.error);
    EXPECT_EQ(done.error->code, 7);
    EXPECT_THAT(done.error->debugDescription, HasSubstr("127.0.0.1"));
    EXPECT_THAT(done.error->debugDescription, Not(HasSubstr("\n")));
    EXPECT_FALSE(done.hasResponse);
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
            if (offset > limit.size()) {
                sink.done();
                return true;
            }
            std::string chunk(64 * 1024, 'c');
            sink.write(chunk.data(), chunk.size());
            return true;
        });
    });
    server.start();

    Completion exact = fetch(makeRequest(server.url("/exact")));
    EXPECT_EQ(exact.statusCode, 200);
    EXPECT_EQ(exact.data ? exact.data->size() : 0u, limit.size());
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
        EXPECT_TRUE(done.hasResponse) << url;
        EXPECT_FALSE(done.statusCode) << url;
        EXPECT_FALSE(done.error) << url;
        EXPECT_FALSE(done.data) << url << " must not be read";
    }
}

TEST_F(HttpClientTest, HttpsTrustsOnlyTheConfiguredCertificates) {
    const TestCertificate& certificate = testCertificate();
    LocalServer server(certificate.certFile, certificate.keyFile);
    server.routes().Get("/tls",
                        [](const auto&, auto& res) { res.set_content("secure", "text/plain"); });
    server.start();

    Completion untrusted = fetch(makeRequest(server.url("/tls")));
    ASSERT_TRUE(untrusted.error);
    EXPECT_EQ(untrusted.error->code, 60);

    CurlHttpClient trusting(CurlClientOptions{.caBundle = certificate.certFile});
    Recorder::reset();
    send(trusting, makeRequest(server.url("/tls")));
    ASSERT_TRUE(trusting.flush(10));
    auto completions = Recorder::completions();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].statusCode, 200);
    EXPECT_EQ(completions[0].data, "secure");
}

// Holds every request until opened.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int waiting = 0;
    void pass() {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait_for(lock, 10s, [this] { return open; });
    }
    bool waitForWaiting(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return waiting >= count; });
    }
    void openUp() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

TEST_F(HttpClientTest, ASaturatedClientRefusesAtOnceAndRecovers) {
    Gate gate;
    LocalServer server;
    server.routes().Get("/held", [&](const auto&, auto& res) {
        gate.pass();
        res.set_content("late", "text/plain");
    });
    server.start();
    // Six run and two wait for a connection; all eight count.
    CurlHttpClient client(CurlClientOptions{.maxTransfers = 8, .caBundle = {}});

    for (int i = 0; i < 8; ++i)
        send(client, makeRequest(server.url("/held")));
    ASSERT_TRUE(gate.waitForWaiting(6));
    send(client, makeRequest(server.url("/held")));
    ASSERT_TRUE(Recorder::waitFor(1, 5s));
    auto first = Recorder::completions();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_TRUE(first[0].error);
    EXPECT_EQ(first[0].error->code, platform::linux_os::kSaturatedErrorCode);
    EXPECT_THAT(first[0].error->debugDescription, HasSubstr("saturated"));
    EXPECT_FALSE(client.flush(0.05)) << "eight are still held";

    gate.openUp();
    ASSERT_TRUE(client.flush(10));
    send(client, makeRequest(server.url("/held")));
    ASSERT_TRUE(client.flush(10));
    auto all = Recorder::completions();
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& c) { return c.statusCode == 200; }),
              9);
}

TEST_F(HttpClientTest, EveryTaskCompletesExactlyOnce) {
    LocalServer server;
    server.routes().Get(R"(/n/(\d+))", [](const httplib::Request& req, auto& res) {
        res.set_content(req.matches[1].str(), "text/plain");
    });
    server.start();
    ClosedPort closed;

    for (int i = 0; i < 40; ++i) {
        auto task = sharedClient().dataTask(makeRequest(server.url("/n/" + std::to_string(i))),
                                            &Recorder::handler);
        task->resume();
        task->resume();  // a second resume starts nothing
    }
    for (int i = 0; i < 5; ++i)
        send(sharedClient(), makeRequest(closed.url("/x")));
    // Made but never resumed: never sent, never completed.
    auto idle = sharedClient().dataTask(makeRequest(server.url("/n/999")), &Recorder::handler);
    ASSERT_TRUE(sharedClient().flush(10));
    std::this_thread::sleep_for(50ms);  // room for a stray second call

    std::multiset<std::string> bodies;
    int errors = 0;
    for (const auto& c : Recorder::completions()) {
        if (c.error)
            ++errors;
        if (c.data)
            bodies.insert(*c.data);
    }
    EXPECT_EQ(errors, 5);
    EXPECT_EQ(bodies.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(bodies.count(std::to_string(i)), 1u) << i;
}

TEST_F(HttpClientTest, FlushWaitsForTasksResumedSoFar) {
    EXPECT_TRUE(sharedClient().flush(0)) << "nothing outstanding";
    LocalServer server;
    server.routes().Get("/slow", [](const auto&, auto& res) {
        std::this_thread::sleep_for(400ms);
        res.set_content("ok", "text/plain");
    });
    server.start();
    send(sharedClient(), makeRequest(server.url("/slow")));
    EXPECT_FALSE(sharedClient().flush(0.05));
    EXPECT_TRUE(Recorder::completions().empty());
    EXPECT_TRUE(sharedClient().flush(10));
    EXPECT_EQ(Recorder::completions().size(), 1u) << "the handler returned before flush did";
}

}  // namespace
}  // namespace VeltoSDK::testing
