#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "Sourcefiles/RequestManager.hpp"
#include "platform/HttpClient.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK::testing {
namespace {

using platform::TransportError;
using platform::URLResponse;

struct Answer {
    std::optional<std::string> data;
    std::optional<URLResponse> response;
    std::optional<TransportError> error;
};

Answer http(int status, std::optional<std::string> body) {
    return {std::move(body), URLResponse{status}, std::nullopt};
}

class HandleCompletionTest : public PlatformTest {
  protected:
    // The one line written for `answer`, with the line number as "N".
    std::string lineFor(const Answer& answer) {
        output.clear();
        RequestManager::handleCompletion(answer.data, answer.response ? &*answer.response : nullptr,
                                         answer.error ? &*answer.error : nullptr);
        auto lines = output.linesWithoutDate();
        EXPECT_EQ(lines.size(), 1u);
        if (lines.empty())
            return "";
        return std::regex_replace(lines[0], std::regex(R"(\]:\d+ )"), "]:N ");
    }

    static std::string error(const std::string& message) {
        return "[\u203C\uFE0F] [RequestManager]:N requestForVeltoUnit(eventName:eventParams:) -> " +
               message;
    }
};

TEST_F(HandleCompletionTest, TransportErrorWinsOverAnyResponseAndBody) {
    TransportError failure{7, "curl error 7 for host h: refused"};
    EXPECT_EQ(lineFor({std::nullopt, std::nullopt, failure}),
              error("Error: calling Post APi Optional(curl error 7 for host h: refused)"));
    EXPECT_EQ(lineFor({"ok", URLResponse{200}, failure}),
              error("Error: calling Post APi Optional(curl error 7 for host h: refused)"));
}

TEST_F(HandleCompletionTest, MissingOrNonHTTPResponseIsInvalid) {
    EXPECT_EQ(lineFor({"body", std::nullopt, std::nullopt}),
              error("Error: Invalid HTTPURLResponse"));
    EXPECT_EQ(lineFor({"body", URLResponse{}, std::nullopt}),
              error("Error: Invalid HTTPURLResponse"));
}

TEST_F(HandleCompletionTest, OnlyStatus200IsSuccessWhateverTheBody) {
    const std::string success =
        "[\u2139\uFE0F] [RequestManager]:N requestForVeltoUnit(eventName:eventParams:) -> "
        "Data Posted Successfully";
    EXPECT_EQ(lineFor(http(200, std::nullopt)), success);
    EXPECT_EQ(lineFor(http(200, "Failed to parse pixel: UNREGISTERED_PIXEL_ID")), success);
    EXPECT_EQ(lineFor(http(200, std::string("\xff\xfe"))), success);

    EXPECT_EQ(lineFor(http(204, "")), error("Error: did not receive data"));
    EXPECT_EQ(lineFor(http(201, std::nullopt)), error("Error: did not receive data"));
    EXPECT_EQ(lineFor(http(201, "created")), error("Error: created"));
}

TEST_F(HandleCompletionTest, BodyWithoutTheParserMarkerIsReportedWhole) {
    EXPECT_EQ(lineFor(http(500, "Internal error")), error("Error: Internal error"));
    EXPECT_EQ(lineFor(http(400, "UNREGISTERED_PIXEL_ID")), error("Error: UNREGISTERED_PIXEL_ID"));
    // Without the colon the marker does not match.
    EXPECT_EQ(lineFor(http(400, "Failed to parse pixel UNREGISTERED_PIXEL_ID")),
              error("Error: Failed to parse pixel UNREGISTERED_PIXEL_ID"));
    EXPECT_EQ(lineFor(http(400, "a\nb")), error("Error: a\nb"));
}

TEST_F(HandleCompletionTest, BodyThatIsNotUTF8CannotBeParsed) {
    for (std::string bytes : {std::string("\xff"), std::string("Failed to parse pixel: \xc3"),
                              std::string("\xed\xa0\x80"),         // an encoded surrogate
                              std::string("\xc0\xaf"),             // overlong "/"
                              std::string("\xf4\x90\x80\x80")}) {  // past U+10FFFF
        EXPECT_EQ(lineFor(http(400, bytes)), error("Error: Failed to parse pixel"));
    }
    EXPECT_EQ(lineFor(http(400, "caf\xc3\xa9 \xf0\x9f\x92\xac")),
              error("Error: caf\xc3\xa9 \xf0\x9f\x92\xac"));
}

TEST_F(HandleCompletionTest, ReasonCodesAreTakenInOrder) {
    const std::string marker = "{\"error\":\"Failed to parse pixel: ";
    EXPECT_EQ(lineFor(http(400, marker + "UNREGISTERED_PIXEL_ID\"}")),
              error("Error: Velto server does not recognize Velto Id"));
    EXPECT_EQ(lineFor(http(400, marker + "PIXEL_UNSUPPORTED_EVENT UNREGISTERED_PIXEL_ID\"}")),
              error("Error: Velto server does not recognize Velto Id"));
    EXPECT_EQ(lineFor(http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"e\"\"}")),
              error("Error: Event field is missing"));
    EXPECT_EQ(lineFor(http(400, marker + "PIXEL_UNSUPPORTED_EVENT\"}")),
              error("Error: Velto server does not support Event"));
    // A missing field other than e falls through to the unsupported-event test, then to row 9.
    EXPECT_EQ(lineFor(http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\"\"}")),
              error("Error: Required field is missing"));
    EXPECT_EQ(lineFor(http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\" "
                                         "PIXEL_UNSUPPORTED_EVENT\"}")),
              error("Error: Velto server does not support Event"));
    EXPECT_EQ(lineFor(http(400, marker + "error_string:\"e\"\"}")),
              error("Error: Required field is missing"));
    EXPECT_EQ(lineFor(http(400, marker + "unregistered_pixel_id\"}")),
              error("Error: Required field is missing"))
        << "markers are case-sensitive";
}

// Records what the manager hands to the HTTP client.
class FakeHttpClient final : public platform::HttpClient {
  public:
    struct Task final : platform::DataTask {
        int* resumes;
        explicit Task(int* counter) : resumes(counter) {}
        void resume() override { ++*resumes; }
    };

    std::vector<platform::HttpRequest> requests;
    std::vector<platform::CompletionHandler> completions;
    int resumes = 0;

    std::shared_ptr<platform::DataTask> dataTask(platform::HttpRequest request,
                                                 platform::CompletionHandler completion) override {
        requests.push_back(std::move(request));
        completions.push_back(completion);
        return std::make_shared<Task>(&resumes);
    }
    bool flush(double) override { return true; }
};

class RequestForVeltoUnitTest : public PlatformTest {
  protected:
    FakeHttpClient client;
    platform::ScopedServices installed{{.httpClient = &client}};
};

TEST_F(RequestForVeltoUnitTest, StartsOneTransferWithTheManagersHandler) {
    EXPECT_TRUE(RequestManager::shared().requestForVeltoUnit("PageView", nullptr));
    ASSERT_EQ(client.requests.size(), 1u);
    EXPECT_EQ(client.requests[0].httpMethod(), "POST");
    EXPECT_THAT(client.requests[0].url().absoluteString(), ::testing::HasSubstr("e=PageView&pi="));
    EXPECT_EQ(client.completions[0], &RequestManager::handleCompletion);
    EXPECT_EQ(client.resumes, 1);
}

TEST_F(RequestForVeltoUnitTest, NoRequestMeansNothingSentAndNoLineOfItsOwn) {
    EXPECT_FALSE(RequestManager::shared().requestForVeltoUnit("Page View", nullptr));
    EXPECT_TRUE(client.requests.empty());
    EXPECT_EQ(client.resumes, 0);
    for (const auto& line : output.linesWithoutDate()) {
        EXPECT_THAT(line, ::testing::Not(::testing::HasSubstr("[RequestManager]")));
    }
}

}  // namespace
}  // namespace VeltoSDK::testing
