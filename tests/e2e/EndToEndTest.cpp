#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include "Sourcefiles/VeltoSettings.hpp"
#include "tests/support/Fakes.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK {
namespace {

using nlohmann::json;

constexpr const char* kPixel = "px-e2e";

// The library in this process, the collector in another, real loopback sockets between.
class EndToEnd : public ::testing::Test {
protected:
    void start(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--port", "0", "--pixel", kPixel});
        options.insert(options.begin(), VELTO_COLLECTOR_PATH);
        collector.emplace(options);
        const std::string base = collector->start();
        ASSERT_FALSE(base.empty());
        Velto::shared().setBaseURL(base);
        Velto::initialize(kPixel);
    }
    void TearDown() override { HostInfo::reset(); }

    json nextRecord() {
        auto line = collector->readLine();
        return line ? json::parse(*line) : json();
    }
    // The messages of the completion lines, in the order they were written.
    std::vector<std::string> completions() const {
        std::vector<std::string> messages;
        for (const std::string& line : output.lines())
            if (line.find("[RequestManager]") != std::string::npos)
                messages.push_back(line.substr(line.find(" -> ") + 4));
        return messages;
    }

    testing::CapturingOutput output;
    platform::ScopedPlatform services{
        [this](platform::Platform& p) { p.standardOutput = &output; }};
    std::optional<testing::Collector> collector;
};

// Over TLS: each test runs in a process of its own, so the HTTP client is made after the
// variable is set. Untrusted, expired and other-host certificates are refused in the
// reliability suite.
TEST_F(EndToEnd, WorkedExampleArrivesOverHttps) {
    const testing::TestCertificate& certificate = testing::testCertificate();
    setenv("CURL_CA_BUNDLE", certificate.certFile.c_str(), 1);
    start({"--tls-cert", certificate.certFile, "--tls-key", certificate.keyFile});
    ASSERT_TRUE(Velto::shared().baseURL().starts_with("https://"));
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
    EXPECT_EQ(record["verdict"], "ACCEPTED");
    EXPECT_EQ(record["method"], "POST");
    EXPECT_EQ(record["target"], std::string("/velto/mob?e=Purchase&pi=") + kPixel);
    EXPECT_EQ(record["headers"],
              (json{{"Content-Type", "application/json"}, {"Accept", "application/json"}}));
    json body = record["body"];
    EXPECT_GE(body["et"].get<std::int64_t>(), before);
    EXPECT_TRUE(body["conntype"] == "wifi" || body["conntype"] == "") << body["conntype"];
    for (const char* varying : {"et", "it", "st", "conntype", "devmodel", "lang"})
        body.erase(varying);
    EXPECT_EQ(body, json::parse(R"({"va": "25", "c": "USD", "ii": ["A1", "B2"],
        "custom": [{"k": "color", "v": ["red", "blue"]}], "appid": "com.example.shop",
        "v": "1.0.0", "os": "iOS 17.1", "devmake": "Apple",
        "ifa": "6D92078A-8246-4BA4-AE5B-76104861E7DC", "ifatype": "IDFA", "late": false})"));
}

TEST_F(EndToEnd, RefusalsAreLoggedWithTheirReason) {
    start();
    for (const char* event : {"LevelUp", ""}) {
        ASSERT_TRUE(Velto::fireEvent(event));
        ASSERT_TRUE(Velto::flush(10));
    }
    Velto::initialize("px-unknown");
    ASSERT_TRUE(Velto::fireEvent(Event::LEAD));
    ASSERT_TRUE(Velto::flush(10));
    EXPECT_EQ(completions(), (std::vector<std::string>{
                                 "Error: Velto server does not support Event",
                                 "Error: Event field is missing",
                                 "Error: Velto server does not recognize Velto Id",
                             }));
}

}  // namespace
}  // namespace VeltoSDK
