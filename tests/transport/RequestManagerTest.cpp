#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/RequestManager.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK::testing {
namespace {

using platform::TransportError;
using platform::URLResponse;

class RequestManagerTest : public FakePlatformTest {
protected:
    void TearDown() override { Velto::setOutcomeHandler(nullptr); }
};

// Each row: its line, then the outcome the host is told (kind, refusal, status, same message).
TEST_F(RequestManagerTest, EveryRowOfTheDecisionTable) {
    const std::string where = " [RequestManager] requestForVeltoUnit(eventName:eventParams:) -> ";
    const std::string marker = "{\"error\":\"Failed to parse pixel: ";
    const std::string success = "[\u2139\uFE0F]" + where + "Data Posted Successfully";
    const TransportError failure{7, "curl error 7 for host h: refused"};
    const std::string E = "[\u203C\uFE0F]" + where + "Error: ";
    const std::string failed = E + "calling Post APi Optional(curl error 7 for host h: refused)";
    using enum OutcomeKind;
    using enum Refusal;
    struct Case {
        std::optional<std::string> data;
        std::optional<URLResponse> response;
        const TransportError* error;
        std::string line;
        OutcomeKind kind;
        Refusal refusal = none;
    };
    auto http = [](int status, std::optional<std::string> body, std::string line, Refusal why) {
        return Case{body, URLResponse{status}, nullptr, line, why == none ? accepted : refused,
                    why};
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, &failure, failed, transportError},  // a transport error wins
        {"ok", URLResponse{200}, &failure, failed, transportError},
        {"body", std::nullopt, nullptr, E + "Invalid HTTPURLResponse", notHTTP},
        {"body", URLResponse{}, nullptr, E + "Invalid HTTPURLResponse", notHTTP},  // not HTTP
        http(200, std::nullopt, success, none),  // 200 is success whatever the body
        http(200, marker + "UNREGISTERED_PIXEL_ID\"}", success, none),
        http(204, "", E + "did not receive data", noBody),
        http(500, "Internal error", E + "Internal error", unrecognisedBody),  // no marker: the body
        http(400, "Failed to parse pixel UNREGISTERED_PIXEL_ID",
             E + "Failed to parse pixel UNREGISTERED_PIXEL_ID",
             unrecognisedBody),                                            // needs its colon
        http(400, "\xff", E + "Failed to parse pixel", unrecognisedBody),  // not UTF-8
        http(400, "\xed\xa0\x80", E + "Failed to parse pixel", unrecognisedBody),  // a surrogate
        http(400, "\xc0\xaf", E + "Failed to parse pixel", unrecognisedBody),      // overlong "/"
        http(400, "caf\xc3\xa9", E + "caf\xc3\xa9", unrecognisedBody),
        http(400, marker + "PIXEL_UNSUPPORTED_EVENT UNREGISTERED_PIXEL_ID\"}",
             E + "Velto server does not recognize Velto Id", unregisteredPixelId),
        http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"e\"\"}",
             E + "Event field is missing", eventFieldMissing),
        http(400, marker + "PIXEL_UNSUPPORTED_EVENT\"}", E + "Velto server does not support Event",
             unsupportedEvent),
        // A missing field other than e falls through to the unsupported-event row, then on.
        http(400,
             marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\" PIXEL_UNSUPPORTED_EVENT\"}",
             E + "Velto server does not support Event", unsupportedEvent),
        http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\"\"}",
             E + "Required field is missing", requiredFieldMissing),
        http(400, marker + "unregistered_pixel_id\"}", E + "Required field is missing",
             requiredFieldMissing),
    };
    // What the host is told, with the number of lines written by then.
    std::vector<std::tuple<std::string, OutcomeKind, Refusal, int, std::string, size_t>> told;
    Velto::setOutcomeHandler([&](const EventOutcome& o) {
        told.emplace_back(o.eventName, o.kind, o.refusal, o.statusCode, o.message,
                          output.writes().size());
    });
    for (const Case& c : cases) {
        output.clear();
        told.clear();
        RequestManager::handleCompletion("Lead", c.data, c.response ? &*c.response : nullptr,
                                         c.error);
        EXPECT_EQ(output.lines(), std::vector<std::string>{c.line});
        const int status = c.error || !c.response ? 0 : c.response->statusCode.value_or(0);
        EXPECT_EQ(told, (decltype(told){{"Lead", c.kind, c.refusal, status,
                                         c.line.substr(c.line.find(" -> ") + 4), 1}}))
            << c.line;
    }
}

}  // namespace
}  // namespace VeltoSDK::testing
