#include <VeltoSDK/VeltoSDK.hpp>

#include <fstream>

#include "Sourcefiles/RequestManager.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

// Accepts the connection waiting on `server` and reads the request whole, so the client has
// sent all it will send; the connection, or -1.
int takeRequest(const SilentServer& server) {
    pollfd waiting{server.fd(), POLLIN, 0};
    if (::poll(&waiting, 1, 10'000) <= 0) return -1;
    const int connection = ::accept4(server.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    const timeval tenSeconds{10, 0};  // for each read
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &tenSeconds, sizeof tenSeconds);
    std::string received;
    char chunk[4096];
    for (ssize_t n; (n = ::read(connection, chunk, sizeof chunk)) > 0;) {
        received.append(chunk, static_cast<size_t>(n));
        const size_t headEnd = received.find("\r\n\r\n"), at = received.find("Content-Length: ");
        if (headEnd == std::string::npos) continue;
        if (received.size() >=
            headEnd + 4 + (at < headEnd ? std::stoul(received.substr(at + 16)) : 0))
            break;
    }
    return connection;
}

void send(int connection, std::string_view bytes) {
    ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

class Faults : public LoopbackTest {
protected:
    void SetUp() override { Velto::initialize("px-faults"); }

    // Fires one event at `baseURL`; true when it was handed over.
    static bool fireAt(const std::string& baseURL) {
        Velto::shared().setBaseURL(baseURL);
        return Velto::fireEvent(Event::PURCHASE);
    }
};

// A POST to `server` that gives up after a second without data: the library's own requests
// wait 2000 s, so this one is made by hand.
void postWithIdleTimeout(const SilentServer& server) {
    platform::HttpRequest request(*platform::URL::fromString(server.url()),
                                  platform::CachePolicy::reloadIgnoringLocalCacheData, 1.0);
    request.setHttpMethod("POST");
    platform::httpClient()
        .dataTask(request, {&RequestManager::handleCompletion, "Purchase"})
        ->resume();
}

// Every broken server ends its event in one transport-error line, while a server that answers
// a byte at a time holds up nothing else and is heard out.
TEST_F(Faults, BrokenServersEndEachEventInOneLine) {
    SilentServer trickling, silent, refusing(/*listening=*/false);
    EXPECT_TRUE(fireAt(trickling.url()));
    std::thread trickle([slow = takeRequest(trickling)] {
        for (char byte : std::string("HTTP/1.0 200\r\n\r\n")) {
            std::this_thread::sleep_for(250ms);
            send(slow, std::string_view(&byte, 1));
        }
        ::close(slow);
    });
    postWithIdleTimeout(silent);
    EXPECT_TRUE(fireAt(refusing.url()));
    EXPECT_TRUE(fireAt("file:///etc/hostname?"));  // answered, but not over HTTP
    constexpr char kNotHTTP[] = "\x16\x03\x01\0\xff garbage\r\n\r\n";
    const std::string kOversized = "HTTP/1.1 200 X\r\nContent-Length: 2097152\r\n\r\n";
    for (const std::string& response :
         {std::string("HTTP/1.1 200 OK\r\nContent-Ty"),  // cut in the headers
          std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."),
          kOversized + std::string(2 << 20, 'x'),  // the client stops at 1 MiB
          std::string(kNotHTTP, sizeof kNotHTTP - 1)}) {
        SilentServer broken;
        EXPECT_TRUE(fireAt(broken.url()));
        const int connection = takeRequest(broken);
        send(connection, response);
        ::close(connection);
    }

    EXPECT_TRUE(lines.waitFor(7, 10s)) << "only " << lines.total << " broken servers done";
    EXPECT_EQ(lines.transportErrors, 6);
    trickle.join();
    ASSERT_TRUE(Velto::flush(10));
    EXPECT_EQ(lines.total, 8);
    EXPECT_EQ(lines.successes, 1);
}

// Header lines that keep coming are activity, however long the whole answer takes.
TEST_F(Faults, SlowHeaderLinesAreNotIdle) {
    SilentServer slow;
    postWithIdleTimeout(slow);
    const int connection = takeRequest(slow);
    for (std::string_view line : {"HTTP/1.1 200 OK\r\n", "A: 1\r\n", "B: 2\r\n", "C: 3\r\n"}) {
        send(connection, line);
        std::this_thread::sleep_for(400ms);
    }
    send(connection, "Content-Length: 0\r\n\r\n");
    EXPECT_TRUE(Velto::flush(10));
    ::close(connection);
    EXPECT_EQ(lines.successes, 1) << lines.total << " lines";
}

// Certificates are trusted through SSL_CERT_FILE here (CURL_CA_BUNDLE elsewhere); trust alone
// must not be enough.
TEST_F(Faults, TlsAcceptsOnlyAValidCertificateForTheHost) {
    const TemporaryDirectory dir;
    const std::tuple<const char*, const char*, int, int, bool, bool> cases[] = {
        // name, subject alternative name, valid from and until (days), trusted, accepted
        {"valid", "IP:127.0.0.1", -1, 1, true, true},
        {"otherhost", "DNS:other.velto.invalid", -1, 1, true, false},
        {"expired", "IP:127.0.0.1", -3, -1, true, false},
        {"selfsigned", "IP:127.0.0.1", -1, 1, false, false},
    };
    std::ofstream bundle(dir.path + "/bundle.pem");
    for (const auto& [name, altName, from, until, trusted, _] : cases) {
        auto cert = writeCertificate(dir.path, name, altName, from, until);
        if (trusted) bundle << std::ifstream(cert.certFile).rdbuf();
    }
    bundle.close();
    ::unsetenv("CURL_CA_BUNDLE");
    ::setenv("SSL_CERT_FILE", (dir.path + "/bundle.pem").c_str(), 1);
    static auto* client = new platform::linux_os::CurlHttpClient();  // lives on, as clients do
    platform::ScopedServices usingTheBundle({.httpClient = client});

    for (const auto& [name, altName, from, until, trusted, succeeds] : cases) {
        const std::string base = dir.path + "/" + name;
        LocalServer server(TestCertificate{base + ".crt", base + ".key"});
        std::atomic<int> arrived{0};
        server.routes().Post("/velto/mob", [&arrived](const auto&, auto&) { ++arrived; });
        server.start();
        const int before = lines.successes;
        ASSERT_TRUE(fireAt(server.url())) << name;
        ASSERT_TRUE(Velto::flush(10)) << name;
        EXPECT_EQ(lines.successes - before, succeeds) << name;
        EXPECT_EQ(arrived, succeeds) << name;
    }
    EXPECT_EQ(lines.total, 4);
    EXPECT_EQ(lines.transportErrors, 3);
}

}  // namespace
}  // namespace VeltoSDK::testing
