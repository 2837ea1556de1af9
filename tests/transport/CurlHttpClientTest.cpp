#include <gtest/gtest.h>

#include <set>

#include "platform/linux/CurlHttpClient.hpp"
#include "support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

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
std::vector<Completion> recorded;

void record(const std::optional<std::string>& data, const platform::URLResponse* response,
            const platform::TransportError* error) {
    std::lock_guard lock(recordedMutex);
    recorded.push_back({data, response != nullptr, response ? response->statusCode : std::nullopt,
                        error ? std::optional(*error) : std::nullopt, std::this_thread::get_id()});
}

std::vector<Completion> takeCompletions() {
    std::lock_guard lock(recordedMutex);
    return std::exchange(recorded, {});
}

platform::HttpClient& client() {
    static auto* made = new platform::linux_os::CurlHttpClient();  // lives on, as clients do
    return *made;
}

// Sends one request and waits for its completion.
Completion fetch(platform::HttpRequest request) {
    client().dataTask(std::move(request), &record)->resume();
    EXPECT_TRUE(client().flush(10));
    auto all = takeCompletions();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? Completion{} : all.front();
}

// Timeouts, oversized bodies, TLS trust and saturation are tested through the whole library in
// the reliability suite.
TEST(HttpClientTest, ReusesConnectionsAndRunsAtMostSixPerHost) {
    LocalServer server;
    std::mutex mutex;
    std::set<int> ports;
    std::atomic<int> inFlight{0}, most{0};
    bool injected = false;
    server.routes().Post("/p", [&](const httplib::Request& req, auto& res) {
        std::lock_guard lock(mutex);
        ports.insert(req.remote_port);
        injected |= req.has_header("Injected");
        res.set_content("ok", "text/plain");
    });
    server.routes().Get("/slow", [&](const httplib::Request& req, auto&) {
        int now = ++inFlight;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(150ms);
        --inFlight;
        std::lock_guard lock(mutex);
        ports.insert(req.remote_port);
    });
    server.routes().set_keep_alive_max_count(100);  // by default it closes after five requests
    server.start();
    for (int i = 0; i < 4; ++i) {
        auto request = makeRequest(server.url("/p"), "POST");
        request.addValue("evil\r\nInjected: 1", "X-Bad");  // a header value may not add lines
        Completion done = fetch(std::move(request));
        EXPECT_EQ(done.statusCode, 200);
        EXPECT_EQ(done.data, "ok");
        EXPECT_NE(done.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(ports.size(), 1u) << "successive requests share one connection";
    EXPECT_FALSE(injected);

    for (int i = 0; i < 20; ++i)
        client().dataTask(makeRequest(server.url("/slow")), &record)->resume();
    ASSERT_TRUE(client().flush(20));
    auto all = takeCompletions();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](auto& c) { return c.statusCode == 200; }),
              20);
    EXPECT_LE(most.load(), 6);
    EXPECT_GT(most.load(), 1) << "transfers to one host still run side by side";
    EXPECT_LE(ports.size(), 6u);
}

TEST(HttpClientTest, OtherSchemesGetAResponseThatIsNotHTTP) {
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x", "FILE:///etc/passwd"}) {
        Completion done = fetch(makeRequest(url));
        EXPECT_TRUE(done.hasResponse && !done.statusCode && !done.error) << url;
        EXPECT_FALSE(done.data) << url << " must not be read";
    }
}

}  // namespace
}  // namespace VeltoSDK::testing
