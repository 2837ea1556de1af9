#include <VeltoSDK/VeltoSDK.hpp>

#include <nlohmann/json.hpp>

#include "Sourcefiles/PostBody.hpp"
#include "Sourcefiles/RequestBuilder.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK {
namespace {

const std::string kInfo = "[\u2139\uFE0F] [RequestBuilder] ";
const std::string kBuild = "buildVeltoRequest(eventName:eventParams:) -> ";
const std::string kHostURL = "contructHostURL(eventName:) -> Velto Host URL ";

class RequestBuilderTest : public testing::FakePlatformTest {
protected:
    const std::string base = Velto::shared().baseURL();

    void SetUp() override {
        Velto::initialize("pixel-7");
        output.clear();
    }
    void TearDown() override {
        Velto::shared().setBaseURL(base);
        Velto::shared().setDebugMode(false);
    }
    std::optional<platform::HttpRequest> build(std::string_view event,
                                               const VeltoParams* params = nullptr) {
        return RequestBuilder().buildVeltoRequest(event, params);
    }
};

TEST_F(RequestBuilderTest, RequestCarriesExactlyItsFieldsAndTheLogSaysSo) {
    Velto::shared().setDebugMode(true);
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    std::optional<platform::HttpRequest> request = build("a&b=c", &params);
    ASSERT_TRUE(request);
    const std::string url = base + "e=a&b=c&pi=pixel-7";  // joined without escaping
    EXPECT_EQ(request->url().absoluteString(), url);
    EXPECT_EQ(request->timeoutInterval(), 2000.0);  // seconds without data; the README says so
    const std::string& body = request->httpBody();
    EXPECT_NE(body.find("{\n    \""), std::string::npos) << "pretty-printed: " << body;
    EXPECT_EQ(nlohmann::json::parse(body), nlohmann::json::parse(buildPostBody(&params)));
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{kInfo + kHostURL + url,
                                        kInfo + kBuild + "Velto Request post body constructed",
                                        "[\U0001F4AC] [RequestBuilder] " + kBuild + body}));
}

TEST_F(RequestBuilderTest, InvalidURLYieldsNoRequestAndNoFurtherLine) {
    for (const char* event : {"Add To Cart", "a\"b", "100%"}) {
        output.clear();
        EXPECT_FALSE(build(event)) << event;
        EXPECT_EQ(output.lines(),
                  std::vector<std::string>{kInfo + kHostURL + base + "e=" + event + "&pi=pixel-7"});
    }
    Velto::shared().setBaseURL("not a url?");
    EXPECT_FALSE(build("Purchase"));
    EXPECT_TRUE(reachability.created.empty()) << "the body is never assembled";
}

TEST_F(RequestBuilderTest, InvalidUTF8YieldsTheErrorLineNamingTheMemberAndNoRequest) {
    VeltoParams params;
    params.put("color", "r\377d");
    params.put("ii", "A1,\xC0\xAF");  // an overlong "/"
    EXPECT_FALSE(build("Purchase", &params));
    params = VeltoParams();
    params.put("r\xED\xA0\x80", "d");  // an encoded surrogate, in a free name
    EXPECT_FALSE(build("Purchase", &params));
    device.version = "17\xFF";
    EXPECT_FALSE(build("Purchase"));
    std::vector<std::string> logged = output.lines();
    ASSERT_EQ(logged.size(), 6u);
    const std::string failed = "[\u203C\uFE0F] [RequestBuilder] " + kBuild +
                               "Failed to build Velto Request post body: the text of ";
    EXPECT_EQ(logged[1], failed + "\"ii\" is not valid UTF-8");
    EXPECT_EQ(logged[3], failed + "\"custom\" is not valid UTF-8");
    EXPECT_EQ(logged[5], failed + "\"os\" is not valid UTF-8");
}

}  // namespace
}  // namespace VeltoSDK
