#include <VeltoSDK/VeltoSDK.hpp>

#include "Sourcefiles/RequestManager.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

class Faults : public LoopbackTest {
protected:
    void SetUp() override { Velto::initialize("px-faults"); }

    // Fires one event at `baseURL`; true when it was handed over.
    static bool fireAt(const std::string& baseURL, std::string_view event = Event::PURCHASE) {
        Velto::shared().setBaseURL(baseURL);
        return Velto::fireEvent(event);
    }
};

const platform::CompletionHandler kLogged{&RequestManager::handleCompletion, "Purchase"};

// Every broken server ends its event in one transport-error line.
TEST_F(Faults, BrokenServersEndEachEventInOneLine) {
    LoopbackServer refusing({}, /*listening=*/false);
    EXPECT_TRUE(fireAt(refusing.url()));
    EXPECT_TRUE(fireAt("file:///etc/hostname?"));  // answered, but not over HTTP
    constexpr char kNotHTTP[] = "\x16\x03\x01\0\xff garbage\r\n\r\n";
    for (const std::string& response :
         {std::string("HTTP/1.1 200 OK\r\nContent-Ty"),  // cut in the headers
          std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."),
          std::string(kNotHTTP, sizeof kNotHTTP - 1)}) {
        LoopbackServer broken;
        EXPECT_TRUE(fireAt(broken.url()));
        const int connection = broken.takeRequest();
        sendAll(connection, response);
        ::close(connection);
    }

    ASSERT_TRUE(Velto::flush(10));
    EXPECT_EQ(lines.total, 5);
    EXPECT_EQ(lines.transportErrors, 4);
}

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
            EXPECT_TRUE(fireAt(server.url(), "ev" + std::to_string(i)));
            EXPECT_TRUE(Velto::flush(10)) << i;
            for (int wait = 0; !readsTheNext && closed == closedBefore && wait < 500; ++wait)
                std::this_thread::sleep_for(10ms);
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
    LoopbackServer server([](const std::string&) { return httpAnswer("200 OK"); });
    for (const auto pause : {0ms, 0ms, 4500ms}) {
        std::this_thread::sleep_for(pause);
        EXPECT_TRUE(fireAt(server.url()));
        EXPECT_TRUE(Velto::flush(10));
        EXPECT_EQ(server.connections, pause > 0ms ? 2 : 1);
    }
    EXPECT_EQ(lines.successes, 3);
}

// What the last transfer made with keepAnswer ended in: its status (-1 after a transport
// error) and body. Read after a flush, which orders it after the handler.
std::pair<int, std::string> lastAnswer;
void keepAnswer(std::string_view, const std::optional<std::string>& data,
                const platform::URLResponse* response, const platform::TransportError* error) {
    lastAnswer = {error || !response ? -1 : response->statusCode.value_or(0), data.value_or("")};
}

// The body of a 200 is never kept, however long. Any other is kept up to 1 MiB, cut there
// before a character the cap would split, and marked, chunked or with a length.
TEST_F(Faults, AnswerBodiesAreKeptUpToOneMiBAndNeverFor200) {
    std::string cut = "x";  // 1 MiB less the last byte, which begins a two-byte character
    while (cut.size() < (1 << 20) - 1) cut += "\xc3\xa9";
    const std::string whole(1 << 20, 'y'), longBody = cut + "\xc3\xa9" + std::string(5000, 'w');
    const std::string marked = cut + "\u2026[truncated]";
    const std::tuple<const char*, std::string, bool, int, std::string> cases[] = {
        // status line, body, chunked, status and body handed on
        {"200 OK", std::string(2 << 20, 'z'), true, 200, ""},
        {"200 OK", std::string(2 << 20, 'z'), false, 200, ""},
        {"500 Oops", longBody, true, 500, marked},
        {"500 Oops", longBody, false, 500, marked},
        {"400 Bad", whole, true, 400, whole},  // exactly the cap: whole, unmarked
    };
    for (const auto& [statusLine, body, chunked, status, handedOn] : cases) {
        LoopbackServer server;
        lastAnswer = {};
        post(server.url(), 10.0, {&keepAnswer, ""});
        const int connection = server.takeRequest();
        char size[16];  // in one chunk: its length shows only as the bytes come
        std::snprintf(size, sizeof size, "%zx\r\n", body.size());
        const std::string response = chunked ? "HTTP/1.1 " + std::string(statusLine) +
                                                   "\r\nTransfer-Encoding: chunked\r\n\r\n" + size +
                                                   body + "\r\n0\r\n\r\n"
                                             : httpAnswer(statusLine, body);
        sendAll(connection, response);
        EXPECT_TRUE(Velto::flush(10));
        ::close(connection);
        EXPECT_EQ(lastAnswer.first, status) << statusLine << chunked;
        EXPECT_TRUE(lastAnswer.second == handedOn)
            << statusLine << chunked << ": " << lastAnswer.second.size() << " bytes handed on";
    }
}

// No transfer outlives its request's timeout interval (a second here), however the server
// trickles its answer, nor while it waits behind others for a connection.
TEST_F(Faults, NoTransferOutlivesItsDeadline) {
    const std::pair<const char*, const char*> trickles[] = {
        {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 100 Continue\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\n", "X-Slow: 1\r\n"},
    };
    for (const auto& [first, again] : trickles) {
        LoopbackServer server;
        post(server.url(), 1.0, kLogged);
        const int connection = server.takeRequest();
        int sent = 0;  // 10 s of trickling unless the client hangs up
        for (bool open = sendAll(connection, first); open && sent < 100; ++sent) {
            std::this_thread::sleep_for(100ms);
            open = sendAll(connection, again);
        }
        ::close(connection);
        EXPECT_LT(sent, 100) << first;
    }
    EXPECT_EQ(lines.transportErrors, 2);

    std::optional<LoopbackServer> stalled(std::in_place);  // never answers
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fireAt(stalled->url()));
    post(stalled->url(), 1.0, kLogged);  // waits for one of the six connections
    EXPECT_TRUE(lines.waitFor(3, 10s));
    EXPECT_EQ(lines.transportErrors, 3);
    stalled.reset();  // the six are reset now
    EXPECT_TRUE(Velto::flush(10));
    EXPECT_EQ(lines.transportErrors, 9);
}

}  // namespace
}  // namespace VeltoSDK::testing
