#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/RequestManager.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK::testing {
namespace {

using platform::TransportError;
using platform::URLResponse;

struct RequestManagerTest : FakePlatformTest {
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
    const std::string notUTF8 = E + "Failed to parse pixel";
    const std::tuple<std::optional<std::string>, int, bool, std::string, OutcomeKind, Refusal>
        cases[] = {
            // body, status (-1: no response, 0: not HTTP), a transport error, line, kind, refusal
            {std::nullopt, -1, true, failed, transportError, none},
            {"ok", 200, true, failed, transportError, none},  // the error wins
            {"body", -1, false, E + "Invalid HTTPURLResponse", notHTTP, none},
            {"body", 0, false, E + "Invalid HTTPURLResponse", notHTTP, none},
            {std::nullopt, 200, false, success, accepted, none},  // whatever the body
            {marker + "UNREGISTERED_PIXEL_ID\"}", 200, false, success, accepted, none},
            {"", 204, false, E + "did not receive data", refused, noBody},
            // Without the marker (its colon included), the body is the message, if it is UTF-8.
            {"Internal error", 500, false, E + "Internal error", refused, unrecognisedBody},
            {"Failed to parse pixel UNREGISTERED_PIXEL_ID", 400, false,
             E + "Failed to parse pixel UNREGISTERED_PIXEL_ID", refused, unrecognisedBody},
            {"\xff", 400, false, notUTF8, refused, unrecognisedBody},
            {"caf\xc3\xa9", 400, false, E + "caf\xc3\xa9", refused, unrecognisedBody},
            {marker + "PIXEL_UNSUPPORTED_EVENT UNREGISTERED_PIXEL_ID\"}", 400, false,
             E + "Velto server does not recognize Velto Id", refused, unregisteredPixelId},
            {marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"e\"\"}", 400, false,
             E + "Event field is missing", refused, eventFieldMissing},
            {marker + "PIXEL_UNSUPPORTED_EVENT\"}", 400, false,
             E + "Velto server does not support Event", refused, unsupportedEvent},
            // A missing field other than e falls through to the unsupported-event row, then on.
            {marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\" PIXEL_UNSUPPORTED_EVENT\"}",
             400, false, E + "Velto server does not support Event", refused, unsupportedEvent},
            {marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\"\"}", 400, false,
             E + "Required field is missing", refused, requiredFieldMissing},
            {marker + "unregistered_pixel_id\"}", 400, false, E + "Required field is missing",
             refused, requiredFieldMissing},
        };
    // What the host is told, with the number of lines written by then.
    std::vector<std::tuple<std::string, OutcomeKind, Refusal, int, std::string, size_t>> told;
    Velto::setOutcomeHandler([&](const EventOutcome& o) {
        told.emplace_back(o.eventName, o.kind, o.refusal, o.statusCode, o.message,
                          output.writes().size());
    });
    for (const auto& [data, status, error, line, kind, refusal] : cases) {
        output.clear();
        told.clear();
        const URLResponse response{status > 0 ? std::optional(status) : std::nullopt};
        RequestManager::handleCompletion("Lead", data, status >= 0 ? &response : nullptr,
                                         error ? &failure : nullptr);
        EXPECT_EQ(output.lines(), std::vector<std::string>{line});
        EXPECT_EQ(told, (decltype(told){{"Lead", kind, refusal, error ? 0 : std::max(status, 0),
                                         line.substr(line.find(" -> ") + 4), 1}}))
            << line;
    }
    // A server's answer is escaped on its line, so it cannot forge another, and is handed to
    // the host as it came.
    output.clear();
    told.clear();
    const std::string forged = "oops\n" + success + "\x1b[2J";
    const URLResponse oops{500};
    RequestManager::handleCompletion("Lead", forged, &oops, nullptr);
    EXPECT_EQ(output.lines(), std::vector<std::string>{E + "oops\\n" + success + "\\u001b[2J"});
    EXPECT_EQ(std::get<4>(told.at(0)), "Error: " + forged);
}

}  // namespace
}  // namespace VeltoSDK::testing
