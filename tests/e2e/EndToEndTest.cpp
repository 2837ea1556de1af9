#include <nlohmann/json.hpp>

#include <VeltoSDK/VeltoSDK.hpp>

#include <fstream>

#include "tests/support/Fakes.hpp"
#include "tests/support/Loopback.hpp"

namespace VeltoSDK {
namespace {

using nlohmann::json;

// The message of each completion line, in order, up to a transport error's number.
std::vector<std::string> completions(const testing::CapturingOutput& output) {
    static const std::regex completion(R"(\[RequestManager\] .*? -> (.*?)(?: \(|$))");
    std::vector<std::string> messages;
    std::smatch match;
    for (const std::string& line : output.lines())
        if (std::regex_search(line, match, completion)) messages.push_back(match[1]);
    return messages;
}

// The worked example over TLS to the collector in another process, then the collector's
// refusals and those of certificates for another host or that nobody trusts, each logged with
// its reason, and last a proxy. Each test runs in a process of its own, so the HTTP client is
// made after CURL_CA_BUNDLE is set.
TEST(EndToEnd, WorkedExampleArrivesOverHttpsAndRefusalsAreLogged) {
    testing::CapturingOutput output;
    platform::ScopedPlatform services([&](platform::Platform& p) { p.standardOutput = &output; });
    // Collectors with certificates for this host, for another one, and for this host but
    // trusted by nobody.
    const testing::TemporaryDirectory dir;
    std::ofstream trusted(dir.path + "/trusted.pem");
    std::vector<std::unique_ptr<testing::ChildProcess>> collectors;
    std::vector<std::string> urls;
    for (std::string_view name : {"valid", "other", "untrusted"}) {
        const std::string cert =
            testing::writeCertificate(dir.path, std::string(name),
                                      name == "other" ? "DNS:other.velto.invalid" : "IP:127.0.0.1");
        if (name != "untrusted") trusted << std::ifstream(cert + ".crt").rdbuf();
        collectors.push_back(std::make_unique<testing::ChildProcess>(
            std::vector<std::string>{VELTO_COLLECTOR_PATH, "--tls-cert", cert + ".crt", "--tls-key",
                                     cert + ".key", "--pixel", "px-e2e"}));
        urls.push_back(collectors.back()->start());
    }
    trusted.close();
    setenv("CURL_CA_BUNDLE", (dir.path + "/trusted.pem").c_str(), 1);
    const std::string base = urls[0];
    ASSERT_TRUE(base.starts_with("https://"));
    Velto::shared().setBaseURL(base);
    Velto::initialize("px-e2e");
    HostInfo::setMainBundleIdentifier("com.example.shop");
    HostInfo::setAdvertisingIdentifier("6d92078a-8246-4ba4-ae5b-76104861e7dc");
    HostInfo::setSystemVersion("17.1");
    HostInfo::setTrackingAuthorizationStatus(3);
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");
    ASSERT_TRUE(Velto::fireEvent(Event::PURCHASE, &params) && Velto::flush(10));

    json record = json::parse(collectors[0]->readLine().value_or("null"));
    EXPECT_EQ(record["verdict"], "ACCEPTED");
    EXPECT_EQ(record["method"], "POST");
    EXPECT_EQ(record["target"], "/velto/mob?e=Purchase&pi=px-e2e");
    EXPECT_EQ(record["headers"],
              (json{{"Content-Type", "application/json"}, {"Accept", "application/json"}}));
    json body = record["body"];
    EXPECT_TRUE(body["conntype"] == "wifi" || body["conntype"] == "") << body["conntype"];
    for (const char* varying : {"et", "it", "st", "conntype", "devmodel", "lang"})
        body.erase(varying);
    EXPECT_EQ(body, json::parse(R"({"va": "25", "c": "USD", "ii": ["A1", "B2"],
        "custom": [{"k": "color", "v": ["red", "blue"]}], "appid": "com.example.shop",
        "v": "1.0.0", "os": "iOS 17.1", "devmake": "Apple",
        "ifa": "6D92078A-8246-4BA4-AE5B-76104861E7DC", "ifatype": "IDFA", "late": false})"));

    // libcurl takes its proxy from the environment, as the README promises: the request goes
    // to the proxy with the whole URL as its target, and the collection host is never resolved.
    std::string requestLine;  // read once the server counted the request
    testing::LoopbackServer proxy([&](const std::string& request) {
        requestLine = request.substr(0, request.find('\r'));
        return testing::httpAnswer("200 OK");
    });
    ::setenv("http_proxy", proxy.url("").c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    // The collector's refusals, each certificate's verdict, then through the proxy.
    const std::string proxied = "http://collect.velto.invalid/velto/mob?";
    const std::tuple<std::string, const char*, const char*> events[] = {
        {base, "px-e2e", "LevelUp"}, {base, "px-e2e", ""},        {base, "px-unknown", "Lead"},
        {urls[0], "px-e2e", "Lead"}, {urls[1], "px-e2e", "Lead"}, {urls[2], "px-e2e", "Lead"},
        {proxied, "px-e2e", "Lead"}};
    for (const auto& [url, pixel, event] : events) {
        Velto::shared().setBaseURL(url);
        Velto::initialize(pixel);
        ASSERT_TRUE(Velto::fireEvent(event) && Velto::flush(10)) << url << " " << event;
    }
    ASSERT_EQ(proxy.requests, 1);
    EXPECT_EQ(requestLine, "POST http://collect.velto.invalid/velto/mob?e=Lead&pi=px-e2e HTTP/1.1");

    EXPECT_EQ(completions(output), (std::vector<std::string>{
                                       "Data Posted Successfully",
                                       "Error: Velto server does not support Event",
                                       "Error: Event field is missing",
                                       "Error: Velto server does not recognize Velto Id",
                                       "Data Posted Successfully",
                                       "Error: calling Post APi Optional(curl error 60",
                                       "Error: calling Post APi Optional(curl error 60",
                                       "Data Posted Successfully",
                                   }));
}

}  // namespace
}  // namespace VeltoSDK
