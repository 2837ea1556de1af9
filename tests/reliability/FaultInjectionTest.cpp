#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <VeltoSDK/VeltoSDK.hpp>

#include <cstdlib>
#include <fstream>

#include "Sourcefiles/RequestManager.hpp"
#include "platform/Services.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

// A loopback server that reads each request whole, then sends `response` (one byte a second
// when trickling) and closes the connection.
class FaultServer {
public:
    explicit FaultServer(std::string response, bool trickle = false)
        : response_(std::move(response)), trickle_(trickle), thread_([this] { serve(); }) {}
    ~FaultServer() {
        stopping_ = true;
        thread_.join();
    }
    std::string baseURL() const { return socket_.url("/velto/mob?"); }

private:
    bool readable(int fd) const {
        for (pollfd pfd{fd, POLLIN, 0}; !stopping_;)
            if (::poll(&pfd, 1, 50) > 0) return true;
        return false;
    }
    // Reads the head and a Content-Length body, so the client has sent all it will send.
    void readRequest(int fd) const {
        std::string received;
        char chunk[4096];
        for (size_t wanted = std::string::npos; received.size() < wanted && readable(fd);) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0) return;
            received.append(chunk, static_cast<size_t>(n));
            size_t headEnd = received.find("\r\n\r\n");
            if (wanted == std::string::npos && headEnd != std::string::npos) {
                size_t at = received.find("Content-Length: ");
                wanted = headEnd + 4 + (at < headEnd ? std::stoul(received.substr(at + 16)) : 0);
            }
        }
    }
    void serve() {
        while (readable(socket_.fd())) {
            int connection = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            readRequest(connection);
            const size_t step = trickle_ ? 1 : response_.size();
            for (size_t at = 0; at < response_.size() && !stopping_; at += step) {
                for (int wait = 0; trickle_ && wait < 20 && !stopping_; ++wait)
                    std::this_thread::sleep_for(50ms);
                ::send(connection, response_.data() + at, step, MSG_NOSIGNAL);
            }
            ::close(connection);
        }
    }

    SilentServer socket_;
    std::string response_;
    bool trickle_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;  // last, so it starts once the rest is ready
};

class Faults : public ::testing::Test {
protected:
    void SetUp() override { Velto::initialize("px-faults"); }

    // Fires one event at `baseURL`; true when it was handed over.
    static bool fireAt(const std::string& baseURL) {
        Velto::shared().setBaseURL(baseURL);
        return Velto::fireEvent(Event::PURCHASE);
    }

    CompletionCounter lines;
    platform::ScopedServices services{{.standardOutput = &lines}};
};

// Every broken server ends its event in one transport-error line, while a server that answers
// one byte per second holds up nothing else and is still heard out.
TEST_F(Faults, BrokenServersEndEachEventInOneLine) {
    FaultServer trickling("HTTP/1.0 200\r\n\r\n", /*trickle=*/true);
    ASSERT_TRUE(fireAt(trickling.baseURL()));

    const std::string oversized = "HTTP/1.1 200 X\r\nContent-Length: 2097152\r\n\r\n";
    SilentServer refusing(/*listening=*/false);
    constexpr char kNotHTTP[] = "\x16\x03\x01\0\xff garbage\r\n\r\n";
    FaultServer midHeaders("HTTP/1.1 200 OK\r\nContent-Ty"),
        midBody("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."),
        tooLarge(oversized + std::string(2 << 20, 'x')),  // the client stops at 1 MiB
        garbage(std::string(kNotHTTP, sizeof kNotHTTP - 1));
    for (const std::string& url : {refusing.url("/velto/mob?"), midHeaders.baseURL(),
                                   midBody.baseURL(), tooLarge.baseURL(), garbage.baseURL()}) {
        ASSERT_TRUE(fireAt(url)) << url;
    }
    // The library's own requests wait 2000 s for a silent server, so this one is made by hand.
    SilentServer silent;
    platform::httpClient()
        .dataTask(makeRequest(silent.url("/velto/mob?"), "POST", 1.0),
                  &RequestManager::handleCompletion)
        ->resume();

    ASSERT_TRUE(lines.waitFor(6, 10s)) << "only " << lines.total() << " broken servers done";
    EXPECT_EQ(lines.transportErrors(), 6) << "the trickle is still going";
    ASSERT_TRUE(Velto::flush(60));
    EXPECT_EQ(lines.total(), 7);
    EXPECT_EQ(lines.successes(), 1);
}

// Certificates are trusted through SSL_CERT_FILE here (CURL_CA_BUNDLE elsewhere); trust alone
// must not be enough.
TEST_F(Faults, TlsAcceptsOnlyAValidCertificateForTheHost) {
    const TemporaryDirectory dir;
    struct Case {
        const char* name;
        const char* altName;
        int fromDays, untilDays;
        bool trusted, succeeds;
    };
    const Case cases[] = {
        {"valid", "IP:127.0.0.1", -1, 1, true, true},
        {"otherhost", "DNS:other.velto.invalid", -1, 1, true, false},
        {"expired", "IP:127.0.0.1", -3, -1, true, false},
        {"selfsigned", "IP:127.0.0.1", -1, 1, false, false},
    };
    std::ofstream bundle(dir.path + "/bundle.pem");
    for (const Case& c : cases) {
        auto cert = writeCertificate(dir.path, c.name, c.altName, c.fromDays, c.untilDays);
        if (c.trusted) bundle << std::ifstream(cert.certFile).rdbuf();
    }
    bundle.close();
    ::unsetenv("CURL_CA_BUNDLE");
    ::setenv("SSL_CERT_FILE", (dir.path + "/bundle.pem").c_str(), 1);
    static auto* client = new platform::linux_os::CurlHttpClient();  // lives on, as clients do
    platform::ScopedServices usingTheBundle({.httpClient = client});

    for (const Case& c : cases) {
        const std::string base = dir.path + "/" + c.name;
        LocalServer server(TestCertificate{base + ".crt", base + ".key"});
        std::atomic<int> arrived{0};
        server.routes().Post("/velto/mob", [&](const auto&, auto& res) {
            ++arrived;
            res.set_content("ok", "text/plain");
        });
        server.start();
        const int before = lines.successes();
        ASSERT_TRUE(fireAt(server.url("/velto/mob?"))) << c.name;
        ASSERT_TRUE(Velto::flush(10)) << c.name;
        EXPECT_EQ(lines.successes() - before, c.succeeds ? 1 : 0) << c.name;
        EXPECT_EQ(arrived, c.succeeds ? 1 : 0) << c.name;
    }
    EXPECT_EQ(lines.total(), 4);
    EXPECT_EQ(lines.transportErrors(), 3);
}

}  // namespace
}  // namespace VeltoSDK::testing
