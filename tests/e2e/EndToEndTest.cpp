#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "Sourcefiles/VeltoSettings.hpp"
#include "support/CollectorProcess.hpp"
#include "support/Fakes.hpp"

namespace VeltoSDK {
namespace {

using nlohmann::json;
using testing::CapturingOutput;
using testing::Collector;

constexpr const char* kPixel = "px-e2e";
constexpr const char* kPosted = "requestForVeltoUnit(eventName:eventParams:) -> ";

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        HostInfo::reset();
        ASSERT_GT(collector.start(), 0);
        Velto::shared().setBaseURL(collector.baseURL());
        Velto::initialize(kPixel);
    }
    void TearDown() override { HostInfo::reset(); }

    json nextRecord() {
        auto line = collector.readLine();
        if (!line) return nullptr;
        return json::parse(*line);
    }

    // The messages of the completion lines, in the order they were written.
    std::vector<std::string> completions() const {
        std::vector<std::string> messages;
        for (const std::string& line : output.linesWithoutDate()) {
            if (line.find("[RequestManager]") == std::string::npos) continue;
            messages.push_back(line.substr(line.find(kPosted) + std::strlen(kPosted)));
        }
        return messages;
    }

    CapturingOutput output;
    platform::ScopedServices services{{.standardOutput = &output}};
    Collector collector{{"--port", "0", "--pixel", kPixel, "--event", "TutorialDone"}};
};

TEST_F(EndToEnd, AnEventArrivesAsTheLibraryDescribesIt) {
    HostInfo::setMainBundleIdentifier("com.example.shop");
    HostInfo::setAdvertisingIdentifier("6d92078a-8246-4ba4-ae5b-76104861e7dc");
    HostInfo::setSystemVersion("17.1");
    HostInfo::setTrackingAuthorizationStatus(3);

    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");
    const std::int64_t before = VeltoSettings::currentTimeMillis();
    ASSERT_TRUE(Velto::fireEvent(Event::PURCHASE, &params));
    ASSERT_TRUE(Velto::flush(10));
    EXPECT_EQ(completions(), std::vector<std::string>{"Data Posted Successfully"});

    json record = nextRecord();
    ASSERT_FALSE(record.is_null()) << "nothing arrived";
    EXPECT_EQ(record["verdict"], "ACCEPTED");
    EXPECT_EQ(record["method"], "POST");
    EXPECT_EQ(record["target"], std::string("/velto/mob?e=Purchase&pi=") + kPixel);
    EXPECT_EQ(record["headers"],
              (json{{"Content-Type", "application/json"}, {"Accept", "application/json"}}));

    json body = record["body"];
    EXPECT_EQ(body["va"], "25");
    EXPECT_EQ(body["c"], "USD");
    EXPECT_EQ(body["ii"], (json{"A1", "B2"}));
    EXPECT_EQ(body["custom"], (json{{{"k", "color"}, {"v", {"red", "blue"}}}}));
    EXPECT_GE(body["et"].get<std::int64_t>(), before);
    EXPECT_EQ(body["it"], VeltoSettings::shared().init_time());
    EXPECT_EQ(body["st"], VeltoSettings::shared().start_time());
    EXPECT_EQ(body["appid"], "com.example.shop");
    EXPECT_EQ(body["v"], "1.0.0");
    EXPECT_EQ(body["os"], "iOS 17.1");
    EXPECT_EQ(body["devmake"], "Apple");
    EXPECT_EQ(body["ifa"], "6D92078A-8246-4BA4-AE5B-76104861E7DC");
    EXPECT_EQ(body["ifatype"], "IDFA");
    EXPECT_EQ(body["late"], false);
    EXPECT_TRUE(body["conntype"] == "wifi" || body["conntype"] == "") << body["conntype"];
    for (const char* absent : {"itp", "in", "carrier", "mcc", "mnc"}) {
        EXPECT_FALSE(body.contains(absent)) << absent;
    }
}

TEST_F(EndToEnd, RefusalsAreLoggedWithTheirReason) {
    ASSERT_TRUE(Velto::fireEvent("LevelUp"));
    ASSERT_TRUE(Velto::flush(10));
    ASSERT_TRUE(Velto::fireEvent(""));
    ASSERT_TRUE(Velto::flush(10));
    Velto::initialize("px-unknown");
    ASSERT_TRUE(Velto::fireEvent(Event::LEAD));
    ASSERT_TRUE(Velto::flush(10));

    EXPECT_EQ(completions(), (std::vector<std::string>{
                                 "Error: Velto server does not support Event",
                                 "Error: Event field is missing",
                                 "Error: Velto server does not recognize Velto Id",
                             }));
    EXPECT_EQ(nextRecord()["verdict"], "PIXEL_UNSUPPORTED_EVENT");
    EXPECT_EQ(nextRecord()["verdict"], "PIXEL_MISSING_REQUIRED_FIELD");
    EXPECT_EQ(nextRecord()["verdict"], "UNREGISTERED_PIXEL_ID");
}

TEST_F(EndToEnd, EventsFromSeveralThreadsAllArrive) {
    constexpr int kThreads = 4, kEach = 13;  // 52 events
    const std::int64_t before = VeltoSettings::currentTimeMillis();
    std::vector<std::thread> threads;
    std::atomic<int> accepted{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            VeltoParams params;
            params.put("thread", std::to_string(t));
            for (int i = 0; i < kEach; ++i) {
                params.setItemId(std::to_string(i));
                accepted += Velto::fireEvent(Event::ITEM_VIEW, &params);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(Velto::flush(20));
    const std::int64_t after = VeltoSettings::currentTimeMillis();
    EXPECT_EQ(accepted, kThreads * kEach);
    EXPECT_EQ(completions(),
              std::vector<std::string>(kThreads * kEach, "Data Posted Successfully"));

    std::set<std::pair<std::string, std::string>> seen;  // (thread, item) pairs
    for (int n = 0; n < kThreads * kEach; ++n) {
        json record = nextRecord();
        ASSERT_FALSE(record.is_null()) << "only " << n << " arrived";
        json body = record["body"];
        EXPECT_GE(body["et"].get<std::int64_t>(), before);
        EXPECT_LE(body["et"].get<std::int64_t>(), after);
        seen.emplace(body["custom"][0]["v"][0], body["ii"][0]);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kEach)) << "every event exactly once";
}

TEST_F(EndToEnd, DebugModeAddsTheBodyToTheLog) {
    Velto::shared().setDebugMode(true);
    ASSERT_TRUE(Velto::fireEvent(Event::PAGE_VIEW));
    ASSERT_TRUE(Velto::flush(10));
    Velto::shared().setDebugMode(false);
    json sent = nextRecord()["body"];
    bool logged = false;
    for (const std::string& text : output.writes()) {
        auto arrow = text.find("buildVeltoRequest(eventName:eventParams:) -> {");
        if (text.find("[\U0001F4AC]") == std::string::npos || arrow == std::string::npos) continue;
        logged = json::parse(text.substr(text.find("-> ") + 3)) == sent;
    }
    EXPECT_TRUE(logged) << "the debug line holds the body the collector received";
}

// A certificate for 127.0.0.1, made for this test run.
std::filesystem::path makeCertificate(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
        "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
        (dir / "key.pem").string() + " -out " + (dir / "cert.pem").string() + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir;
}

class EndToEndTls : public ::testing::Test {
protected:
    void start() {
        ASSERT_GT(collector.start(), 0);
        ASSERT_TRUE(collector.baseURL().starts_with("https://"));
        Velto::shared().setBaseURL(collector.baseURL());
        Velto::initialize(kPixel);
    }
    std::vector<std::string> lines() const { return output.linesWithoutDate(); }

    const std::filesystem::path dir = makeCertificate(
        std::filesystem::temp_directory_path() / ("velto-e2e-tls-" + std::to_string(getpid())));
    CapturingOutput output;
    platform::ScopedServices services{{.standardOutput = &output}};
    Collector collector{{"--port", "0", "--tls-cert", (dir / "cert.pem").string(), "--tls-key",
                         (dir / "key.pem").string()}};

    ~EndToEndTls() override { std::filesystem::remove_all(dir); }
};

TEST_F(EndToEndTls, TrustedCertificateCarriesTheEvent) {
    setenv("CURL_CA_BUNDLE", (dir / "cert.pem").c_str(), 1);
    start();
    ASSERT_TRUE(Velto::fireEvent(Event::PURCHASE));
    ASSERT_TRUE(Velto::flush(10));
    EXPECT_TRUE(lines().back().ends_with("-> Data Posted Successfully")) << lines().back();
    EXPECT_EQ(collector.readLine().has_value(), true);
}

TEST_F(EndToEndTls, UntrustedCertificateIsATransportError) {
    unsetenv("CURL_CA_BUNDLE");
    unsetenv("SSL_CERT_FILE");
    start();
    ASSERT_TRUE(Velto::fireEvent(Event::PURCHASE));
    ASSERT_TRUE(Velto::flush(10));
    EXPECT_TRUE(lines().back().find("-> Error: calling Post APi Optional(") != std::string::npos)
        << lines().back();
    EXPECT_FALSE(collector.readLine(std::chrono::milliseconds(200)).has_value());
}

}  // namespace
}  // namespace VeltoSDK
