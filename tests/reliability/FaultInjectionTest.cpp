#include <VeltoSDK/VeltoSDK.hpp>

#include <algorithm>

#include "Sourcefiles/RequestManager.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

struct Faults : LoopbackTest {
    void SetUp() override { Velto::initialize("px-faults"); }

    // Fires one event at `baseURL`; true when it was handed over and, if `flush`, completed.
    static bool fireAt(const std::string& baseURL, std::string_view event = Event::PURCHASE,
                       bool flush = true) {
        Velto::shared().setBaseURL(baseURL);
        return Velto::fireEvent(event) && (!flush || Velto::flush(10));
    }
};

// A server answers the first request on each connection, then either reads the next one whole
// and closes without answering, or closes at once. Events go one after another, each on the
// connection the one before left open: one whose request reached the server is never sent
// again, one that found the connection closed still goes out, and each ends in one line.
TEST_F(Faults, AnEventIsSentAtMostOnce) {
    constexpr int kEvents = 6;
    for (const bool readsTheNext : {true, false}) {
        SCOPED_TRACE(readsTheNext ? "reads the next request, then closes" : "closes at once");
        LoopbackServer server;
        std::map<std::string, int> received;  // times per request line
        std::atomic<int> closed{0};
        std::thread serve([&] {
            for (int served = 0, connection;
                 served < kEvents && (connection = server.accept()) >= 0; ++closed) {
                for (int i = 0; i < (readsTheNext ? 2 : 1); ++i, ++served) {
                    const std::string request = readRequest(connection);
                    if (request.empty()) break;
                    ++received[request.substr(0, request.find('\r'))];
                    if (i == 0) sendAll(connection, httpAnswer("200 OK"));
                }
                ::close(connection);
            }
        });
        const int successesBefore = lines.successes, errorsBefore = lines.transportErrors;
        for (int i = 0; i < kEvents; ++i) {
            const int closedBefore = closed;
            EXPECT_TRUE(fireAt(server.url(), "ev" + std::to_string(i))) << i;
            if (!readsTheNext) waitUntil([&] { return closed != closedBefore; }, 5s);
        }
        serve.join();
        EXPECT_EQ(received.size(), size_t{kEvents});
        for (const auto& [line, times] : received) EXPECT_EQ(times, 1) << line;
        EXPECT_EQ(lines.successes - successesBefore, readsTheNext ? kEvents / 2 : kEvents);
        EXPECT_EQ(lines.transportErrors - errorsBefore, readsTheNext ? kEvents / 2 : 0);
    }
    EXPECT_EQ(lines.total, 2 * kEvents);
}

// A connection idle for 4 s is not reused: servers commonly close theirs after 5 s, and one
// that closes just as a request goes out on it costs that event.
TEST_F(Faults, ConnectionsIdleForFourSecondsAreNotReused) {
    LoopbackServer server(answer200);
    for (const auto pause : {0ms, 0ms, 4500ms}) {
        std::this_thread::sleep_for(pause);
        EXPECT_TRUE(fireAt(server.url()));
        EXPECT_EQ(server.connections, pause > 0ms ? 2 : 1);
    }
    EXPECT_EQ(lines.successes, 3);
}

// What each transfer made with keepAnswer ended in, in order: its status (-1 after a transport
// error) and body. Read after a flush, which orders it after the handlers.
std::vector<std::pair<int, std::string>> answers;
void keepAnswer(std::string_view, const std::optional<std::string>& data,
                const platform::URLResponse* response, const platform::TransportError* error) {
    answers.emplace_back(error || !response ? -1 : response->statusCode.value_or(0),
                         data.value_or(""));
}
const platform::CompletionHandler kKept{&keepAnswer, ""};

// Each row is a server's answer to one transfer whose deadline is two seconds; a trickle then
// repeats every 100 ms, for 10 s unless the client hangs up. Each transfer ends once, by its
// deadline. The body of a 200 is never kept, however long; any other is kept up to 1 MiB, cut
// there before a character the cap would split, and marked, chunked or with a length.
TEST_F(Faults, EachAnswerEndsItsTransferOnceByItsDeadline) {
    LoopbackServer refusing({}, /*listening=*/false);
    post(refusing.url(), 2.0, kKept);
    post("file:///dev/null?", 2.0, kKept);  // answered, but not over HTTP
    ASSERT_TRUE(Velto::flush(10));
    std::sort(answers.begin(), answers.end());
    EXPECT_EQ(answers, (decltype(answers){{-1, ""}, {0, ""}}));

    std::string cut = "x";  // 1 MiB less the last byte, which begins a two-byte character
    while (cut.size() < (1 << 20) - 1) cut += "\xc3\xa9";
    const std::string whole(1 << 20, 'y'), longBody = cut + "\xc3\xa9" + std::string(5000, 'w');
    const std::string huge(2 << 20, 'z'), marked = cut + "\u2026[truncated]";
    auto chunked = [](const std::string& status, const std::string& body) {
        char size[16];  // in one chunk: its length shows only as the bytes come
        std::snprintf(size, sizeof size, "%zx\r\n", body.size());
        return "HTTP/1.1 " + status + "\r\nTransfer-Encoding: chunked\r\n\r\n" + size + body +
               "\r\n0\r\n\r\n";
    };
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        // answer, trickle, status handed on (-1: a transport error), body handed on
        {"HTTP/1.1 200 OK\r\nContent-Ty", "", -1, ""},  // cut in the headers
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..", "", -1, ""},
        {std::string("\x16\x03\x01\0\xff garbage\r\n\r\n", 17), "", -1, ""},  // not HTTP
        {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 100 Continue\r\n\r\n", -1, ""},
        {"HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n", -1, ""},
        {chunked("200 OK", huge), "", 200, ""},
        {httpAnswer("200 OK", huge), "", 200, ""},
        {chunked("500 Oops", longBody), "", 500, marked},
        {httpAnswer("500 Oops", longBody), "", 500, marked},
        {chunked("400 Bad", whole), "", 400, whole},  // exactly the cap: whole, unmarked
    };
    for (const auto& [answer, trickle, status, body] : cases) {
        LoopbackServer server;
        answers.clear();
        post(server.url(), 2.0, kKept);
        const int connection = server.accept();
        readRequest(connection);
        SCOPED_TRACE(answer.substr(0, 40));
        int sent = 0;
        for (bool open = sendAll(connection, answer); open && !trickle.empty() && sent < 100;
             ++sent)
            open = (std::this_thread::sleep_for(100ms), sendAll(connection, trickle));
        ::close(connection);
        EXPECT_TRUE(Velto::flush(10));
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_LT(sent, 100);
        EXPECT_EQ(answers[0].first, status);
        EXPECT_TRUE(answers[0].second == body) << answers[0].second.size() << " bytes handed on";
    }
}

// A transfer waiting behind six others for a connection ends by its deadline too.
TEST_F(Faults, NoTransferWaitsForAConnectionPastItsDeadline) {
    std::optional<LoopbackServer> stalled(std::in_place);  // never answers
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fireAt(stalled->url(), Event::PURCHASE, false));
    // This one waits for one of the six connections.
    post(stalled->url(), 1.0, {&RequestManager::handleCompletion, "Purchase"});
    EXPECT_TRUE(lines.waitFor(1, 10s));
    EXPECT_EQ(lines.transportErrors, 1);
    stalled.reset();  // the six are reset now
    EXPECT_TRUE(Velto::flush(10));
    EXPECT_EQ(lines.transportErrors, 7);
}

}  // namespace
}  // namespace VeltoSDK::testing
