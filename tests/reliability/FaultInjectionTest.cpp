#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "FaultServer.hpp"
#include "Harness.hpp"
#include "Sourcefiles/RequestManager.hpp"
#include "platform/Services.hpp"
#include "platform/linux/CurlHttpClient.hpp"
#include "transport/TestServers.hpp"

namespace VeltoSDK::testing {
namespace {

using namespace std::chrono_literals;

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

    SilentServer refusing(/*listening=*/false);
    constexpr char kNotHTTP[] = "\x16\x03\x01\0\xff garbage\r\n\r\n";
    FaultServer midHeaders("HTTP/1.1 200 OK\r\nContent-Ty"),
        midBody("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."),
        oversized(FaultServer::answer(200, std::string(2 << 20, 'x'))),
        garbage(std::string(kNotHTTP, sizeof kNotHTTP - 1));
    for (const std::string& url : {refusing.url("/velto/mob?"), midHeaders.baseURL(),
                                   midBody.baseURL(), oversized.baseURL(), garbage.baseURL()}) {
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

// Certificates are trusted through CURL_CA_BUNDLE; trust alone must not be enough.
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
    std::string bundle;
    for (const Case& c : cases) {
        auto cert = writeCertificate(dir.path, c.name, c.altName, c.fromDays, c.untilDays);
        if (c.trusted)
            bundle += (std::stringstream() << std::ifstream(cert.certFile).rdbuf()).str();
    }
    std::ofstream(dir.path + "/bundle.pem") << bundle;
    ::setenv("CURL_CA_BUNDLE", (dir.path + "/bundle.pem").c_str(), 1);
    ::unsetenv("SSL_CERT_FILE");
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

// With no network at all, loopback still carries events and the connection type is empty.
TEST(NoNetwork, LoopbackStillCarriesEventsAndConntypeIsEmpty) {
    if (std::getenv("VELTOSDK_IN_EMPTY_NETNS")) {
        CompletionCounter lines;
        platform::ScopedServices services({.standardOutput = &lines});
        Collector collector({VELTO_COLLECTOR_PATH, "--port", "0", "--pixel", "px-netns"});
        const std::string baseURL = collector.start();
        ASSERT_FALSE(baseURL.empty());
        Velto::shared().setBaseURL(baseURL);
        Velto::initialize("px-netns");
        ASSERT_TRUE(Velto::fireEvent(Event::PAGE_VIEW));
        ASSERT_TRUE(Velto::flush(10));
        EXPECT_EQ(lines.successes(), 1);
        auto record = collector.readLine();
        ASSERT_TRUE(record) << "nothing arrived";
        nlohmann::json body = nlohmann::json::parse(*record)["body"];
        EXPECT_EQ(body["conntype"], "");
        return;
    }
    const std::string unshare = "/usr/bin/unshare";
    std::string flags;
    for (const char* candidate : {"-n", "-rn"}) {
        if (exitedWith(waitBounded(spawn({unshare, candidate, "true"})), 0)) {
            flags = candidate;
            break;
        }
    }
    if (flags.empty()) GTEST_SKIP() << "this machine does not permit a new network namespace";
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string script =
        "PATH=$PATH:/usr/sbin:/sbin; ip link set lo up && "
        "[ -z \"$(ip route show; ip -6 route show | grep -v '^::1 \\|^fe80')\" ] && "
        "exec \"$0\" --gtest_filter=NoNetwork.*";
    auto inside = waitBounded(spawn({unshare, flags, "/bin/sh", "-c", script, self},
                                    {"VELTOSDK_IN_EMPTY_NETNS=1"}, STDOUT_FILENO),
                              30s);
    EXPECT_TRUE(exitedWith(inside, 0)) << "inside the namespace: status " << inside.value_or(-1);
}

}  // namespace
}  // namespace VeltoSDK::testing
