#include "Sourcefiles/RequestManager.hpp"

#include "Sourcefiles/CallbackSlot.hpp"
#include "Sourcefiles/Log.hpp"
#include "Sourcefiles/RequestBuilder.hpp"
#include "Sourcefiles/UTF8.hpp"
#include "platform/Platform.hpp"

namespace VeltoSDK {
namespace {

// The completion handler reports as the operation that started the transfer.
constexpr Log::Site kRequestForVeltoUnit{"Sourcefiles/RequestManager",
                                         "requestForVeltoUnit(eventName:eventParams:)"};

bool contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

// One row of the decision table. Most messages are fixed texts; the two that quote the
// transport error or the body own theirs.
struct Verdict {
    OutcomeKind kind;
    Refusal refusal;
    int statusCode;
    std::string_view fixedMessage;
    std::string quotingMessage;

    std::string_view message() const {
        return quotingMessage.empty() ? fixedMessage : std::string_view(quotingMessage);
    }
};

// The first row of the decision table whose condition holds.
Verdict decide(const std::optional<std::string>& data, const platform::URLResponse* response,
               const platform::TransportError* error) {
    if (error) {
        return {OutcomeKind::transportError,
                Refusal::none,
                0,
                {},
                "Error: calling Post APi Optional(" + error->debugDescription + ")"};
    }
    if (!response || !response->isHTTP()) {
        return {OutcomeKind::notHTTP, Refusal::none, 0, "Error: Invalid HTTPURLResponse", {}};
    }
    const int status = *response->statusCode;
    if (status == 200) {
        return {OutcomeKind::accepted, Refusal::none, 200, "Data Posted Successfully", {}};
    }
    auto refused = [status](Refusal refusal, std::string_view fixed, std::string quoting = {}) {
        return Verdict{OutcomeKind::refused, refusal, status, fixed, std::move(quoting)};
    };
    if (!data || data->empty()) return refused(Refusal::noBody, "Error: did not receive data");
    if (!isValidUTF8(*data)) {
        return refused(Refusal::unrecognisedBody, "Error: Failed to parse pixel");
    }
    const std::string& text = *data;
    if (!contains(text, "Failed to parse pixel:")) {
        return refused(Refusal::unrecognisedBody, {}, "Error: " + text);
    }
    if (contains(text, "UNREGISTERED_PIXEL_ID")) {
        return refused(Refusal::unregisteredPixelId,
                       "Error: Velto server does not recognize Velto Id");
    }
    if (contains(text, "PIXEL_MISSING_REQUIRED_FIELD") && contains(text, "error_string:\"e\"")) {
        return refused(Refusal::eventFieldMissing, "Error: Event field is missing");
    }
    if (contains(text, "PIXEL_UNSUPPORTED_EVENT")) {
        return refused(Refusal::unsupportedEvent, "Error: Velto server does not support Event");
    }
    return refused(Refusal::requiredFieldMissing, "Error: Required field is missing");
}

CallbackSlot<OutcomeHandler>& outcomeHandler() {
    static auto* slot = new CallbackSlot<OutcomeHandler>;  // lives until the process ends
    return *slot;
}

}  // namespace

RequestManager& RequestManager::shared() {
    static RequestManager* instance = new RequestManager;  // lives until the process ends
    return *instance;
}

bool RequestManager::requestForVeltoUnit(std::string_view eventName, const VeltoParams* eventParams,
                                         std::string_view pixelId) {
    std::optional<platform::HttpRequest> request =
        RequestBuilder(pixelId).buildVeltoRequest(eventName, eventParams);
    if (!request) return false;
    // The lines so far go before any line about the request's answer.
    Log::Batch::flush();
    std::shared_ptr<platform::DataTask> task = platform::current().httpClient->dataTask(
        std::move(*request), {&RequestManager::handleCompletion, std::string(eventName)});
    return task && task->resume();
}

void RequestManager::handleCompletion(std::string_view eventName,
                                      const std::optional<std::string>& data,
                                      const platform::URLResponse* response,
                                      const platform::TransportError* error) {
    Verdict verdict = decide(data, response, error);
    if (verdict.kind == OutcomeKind::accepted) {
        Log::info(verdict.message(), kRequestForVeltoUnit, __LINE__);
    } else {
        Log::error(verdict.message(), kRequestForVeltoUnit, __LINE__);
    }
    // A task the client refused at hand-over made fireEvent return false: no outcome.
    if (error && error->refusedAtHandOver) return;
    if (outcomeHandler().isSet()) {
        outcomeHandler().call(EventOutcome{eventName, verdict.kind, verdict.refusal,
                                           verdict.statusCode, verdict.message()});
    }
}

void RequestManager::setOutcomeHandler(OutcomeHandler handler) {
    outcomeHandler().set(std::move(handler));
}

}  // namespace VeltoSDK
