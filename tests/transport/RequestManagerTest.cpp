#include "Sourcefiles/RequestManager.hpp"
#include "tests/support/Fakes.hpp"

namespace VeltoSDK::testing {
namespace {

using platform::TransportError;
using platform::URLResponse;

class RequestManagerTest : public FakePlatformTest {};

TEST_F(RequestManagerTest, EveryRowOfTheDecisionTable) {
    const std::string where = " [RequestManager] requestForVeltoUnit(eventName:eventParams:) -> ";
    const std::string marker = "{\"error\":\"Failed to parse pixel: ";
    const std::string success = "[\u2139\uFE0F]" + where + "Data Posted Successfully";
    const TransportError failure{7, "curl error 7 for host h: refused"};
    const std::string E = "[\u203C\uFE0F]" + where + "Error: ";
    const std::string failed = E + "calling Post APi Optional(curl error 7 for host h: refused)";
    struct Case {
        std::optional<std::string> data;
        std::optional<URLResponse> response;
        const TransportError* error;
        std::string line;
    };
    auto http = [](int status, std::optional<std::string> body, std::string line) {
        return Case{std::move(body), URLResponse{status}, nullptr, std::move(line)};
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, &failure, failed},  // a transport error wins
        {"ok", URLResponse{200}, &failure, failed},
        {"body", std::nullopt, nullptr, E + "Invalid HTTPURLResponse"},
        {"body", URLResponse{}, nullptr, E + "Invalid HTTPURLResponse"},  // not HTTP
        http(200, std::nullopt, success),  // 200 is success whatever the body
        http(200, marker + "UNREGISTERED_PIXEL_ID\"}", success),
        http(204, "", E + "did not receive data"),
        http(500, "Internal error", E + "Internal error"),  // no marker: the body
        http(400, "Failed to parse pixel UNREGISTERED_PIXEL_ID",
             E + "Failed to parse pixel UNREGISTERED_PIXEL_ID"),  // the marker needs its colon
        http(400, "\xff", E + "Failed to parse pixel"),           // not UTF-8
        http(400, "\xed\xa0\x80", E + "Failed to parse pixel"),   // an encoded surrogate
        http(400, "\xc0\xaf", E + "Failed to parse pixel"),       // overlong "/"
        http(400, "caf\xc3\xa9", E + "caf\xc3\xa9"),
        http(400, marker + "PIXEL_UNSUPPORTED_EVENT UNREGISTERED_PIXEL_ID\"}",
             E + "Velto server does not recognize Velto Id"),
        http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"e\"\"}",
             E + "Event field is missing"),
        http(400, marker + "PIXEL_UNSUPPORTED_EVENT\"}", E + "Velto server does not support Event"),
        // A missing field other than e falls through to the unsupported-event row, then on.
        http(400,
             marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\" PIXEL_UNSUPPORTED_EVENT\"}",
             E + "Velto server does not support Event"),
        http(400, marker + "PIXEL_MISSING_REQUIRED_FIELD error_string:\"pi\"\"}",
             E + "Required field is missing"),
        http(400, marker + "unregistered_pixel_id\"}", E + "Required field is missing"),
    };
    for (const Case& c : cases) {
        output.clear();
        RequestManager::handleCompletion(c.data, c.response ? &*c.response : nullptr, c.error);
        EXPECT_EQ(output.lines(), std::vector<std::string>{c.line});
    }
}

}  // namespace
}  // namespace VeltoSDK::testing
