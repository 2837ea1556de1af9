#include <gtest/gtest.h>

#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include <regex>

#include "Sourcefiles/PostBody.hpp"
#include "Sourcefiles/RequestBuilder.hpp"
#include "tests/support/FakePlatform.hpp"

namespace VeltoSDK {
namespace {

const std::string kInfo = "[\u2139\uFE0F] [RequestBuilder] ";
const std::string kError = "[\u203C\uFE0F] [RequestBuilder] ";
const std::string kDebug = "[\U0001F4AC] [RequestBuilder] ";
const std::string kBuild = "buildVeltoRequest(eventName:eventParams:) -> ";

class RequestBuilderTest : public testing::FakePlatformTest {
protected:
    std::string defaultBaseURL = Velto::shared().baseURL();

    void SetUp() override {
        Velto::initialize("pixel-7");
        output.clear();
    }
    void TearDown() override {
        Velto::shared().setBaseURL(defaultBaseURL);
        Velto::shared().setDebugMode(false);
    }

    // The log lines without date and line number: "[tag] [file] function -> message".
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        for (const std::string& line : output.linesWithoutDate()) {
            result.push_back(std::regex_replace(line, std::regex(R"(\]:\d+ )"), "] ",
                                                std::regex_constants::format_first_only));
        }
        return result;
    }

    std::optional<platform::HttpRequest> build(std::string_view event,
                                               const VeltoParams* params = nullptr) {
        return RequestBuilder().buildVeltoRequest(event, params);
    }
};

TEST_F(RequestBuilderTest, URLJoinsItsPiecesWithoutEscaping) {
    RequestBuilder builder;
    EXPECT_EQ(builder.contructHostURL("Purchase"), defaultBaseURL + "e=Purchase&pi=pixel-7");
    EXPECT_EQ(defaultBaseURL.back(), '?');
    EXPECT_EQ(builder.contructHostURL("a&b=c"), defaultBaseURL + "e=a&b=c&pi=pixel-7");
    Velto::shared().setBaseURL("http://127.0.0.1:9/x");
    EXPECT_EQ(builder.contructHostURL("Lead"), "http://127.0.0.1:9/xe=Lead&pi=pixel-7");
    EXPECT_EQ(
        lines().back(),
        kInfo +
            "contructHostURL(eventName:) -> Velto Host URL http://127.0.0.1:9/xe=Lead&pi=pixel-7");
}

TEST_F(RequestBuilderTest, RequestCarriesExactlyItsFields) {
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    std::optional<platform::HttpRequest> request = build("Purchase", &params);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->url().absoluteString(), defaultBaseURL + "e=Purchase&pi=pixel-7");
    EXPECT_EQ(request->httpMethod(), "POST");
    EXPECT_EQ(request->cachePolicy(), platform::CachePolicy::reloadIgnoringLocalCacheData);
    EXPECT_EQ(request->timeoutInterval(), 2000.0);
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request->allHTTPHeaderFields(),
              (Headers{{"Content-Type", "application/json"}, {"Accept", "application/json"}}));

    // Pretty-printed, and the body as assembled, nothing added or taken away.
    const std::string& body = request->httpBody();
    EXPECT_NE(body.find("{\n    \""), std::string::npos) << body;
    EXPECT_EQ(PostBody::parse(body), buildPostBody(&params));
}

TEST_F(RequestBuilderTest, LogsURLThenBodyAndTheBodyOnlyInDebugMode) {
    ASSERT_TRUE(build("Purchase"));
    const std::string urlLine = kInfo + "contructHostURL(eventName:) -> Velto Host URL " +
                                defaultBaseURL + "e=Purchase&pi=pixel-7";
    const std::string bodyLine = kInfo + kBuild + "Velto Request post body constructed";
    EXPECT_EQ(lines(), (std::vector<std::string>{urlLine, bodyLine}));

    output.clear();
    Velto::shared().setDebugMode(true);
    std::optional<platform::HttpRequest> request = build("Purchase");
    ASSERT_TRUE(request);
    EXPECT_EQ(lines(),
              (std::vector<std::string>{urlLine, bodyLine, kDebug + kBuild + request->httpBody()}));
}

TEST_F(RequestBuilderTest, InvalidURLYieldsNoRequestAndNoFurtherLine) {
    for (const char* event : {"Add To Cart", "a\"b", "100%"}) {
        output.clear();
        EXPECT_FALSE(build(event)) << event;
        ASSERT_EQ(lines().size(), 1u) << event;
        EXPECT_TRUE(
            lines()[0].starts_with(kInfo + "contructHostURL(eventName:) -> Velto Host URL "));
    }
    Velto::shared().setBaseURL("not a url?");
    EXPECT_FALSE(build("Purchase"));
    // The body is never assembled, so the platform was not asked about the device.
    EXPECT_EQ(device.unameCalls, 0);
    EXPECT_TRUE(reachability.created.empty());
}

TEST_F(RequestBuilderTest, InvalidUTF8InAParameterYieldsTheErrorLineAndNoRequest) {
    Velto::shared().setDebugMode(true);
    VeltoParams params;
    params.put("color",
               "r\xFF"
               "d");
    EXPECT_FALSE(build("Purchase", &params));
    std::vector<std::string> logged = lines();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[1], kError + kBuild +
                             "Failed to build Velto Request post body: "
                             "[json.exception.type_error.316] invalid UTF-8 byte at index 1: 0xFF");
}

}  // namespace
}  // namespace VeltoSDK
