#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include "Sourcefiles/VeltoSettings.hpp"
#include "tests/support/Fakes.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK {
namespace {

using nlohmann::json;

// The worked example over TLS to the collector in another process, then the collector's
// refusals, each logged with its reason. Each test runs in a process of its own, so the HTTP
// client is made after the variable is set. Untrusted, expired and other-host certificates are
// refused in the reliability suite.
TEST(EndToEnd, WorkedExampleArrivesOverHttpsAndRefusalsAreLogged) {
    testing::CapturingOutput output;
    platform::ScopedPlatform services([&](platform::Platform& p) { p.standardOutput = &output; });
    const testing::TestCertificate& certificate = testing::testCertificate();
    setenv("CURL_CA_BUNDLE", certificate.certFile.c_str(), 1);
    testing::Collector collector({VELTO_COLLECTOR_PATH, "--tls-cert", certificate.certFile,
                                  "--tls-key", certificate.keyFile, "--port", "0", "--pixel",
                                  "px-e2e"});
    const std::string base = collector.start();
    ASSERT_TRUE(base.starts_with("https://"));
    Velto::shared().setBaseURL(base);
    Velto::initialize("px-e2e");
    HostInfo::setMainBundleIdentifier("com.example.shop");
    HostInfo::setAdvertisingIdentifier("6d92078a-8246-4ba4-ae5b-76104861e7dc");
    HostInfo::setSystemVersion("17.1");
    HostInfo::setTrackingAuthorizationStatus(3);
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");
    const std::int64_t before = VeltoSettings::currentTimeMillis();
    ASSERT_TRUE(Velto::fireEvent(Event::PURCHASE, &params));
    ASSERT_TRUE(Velto::flush(10));

    json record = json::parse(collector.readLine().value_or("null"));
    EXPECT_EQ(record["verdict"], "ACCEPTED");
    EXPECT_EQ(record["method"], "POST");
    EXPECT_EQ(record["target"], "/velto/mob?e=Purchase&pi=px-e2e");
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

    for (auto [pixel, event] :
         {std::pair{"px-e2e", "LevelUp"}, {"px-e2e", ""}, {"px-unknown", "Lead"}}) {
        Velto::initialize(pixel);
        ASSERT_TRUE(Velto::fireEvent(event));
        ASSERT_TRUE(Velto::flush(10));
    }
    std::vector<std::string> completions;
    for (const std::string& line : output.lines())
        if (line.find("[RequestManager]") != std::string::npos)
            completions.push_back(line.substr(line.find(" -> ") + 4));
    EXPECT_EQ(completions, (std::vector<std::string>{
                               "Data Posted Successfully",
                               "Error: Velto server does not support Event",
                               "Error: Event field is missing",
                               "Error: Velto server does not recognize Velto Id",
                           }));
    HostInfo::reset();
}

}  // namespace
}  // namespace VeltoSDK
