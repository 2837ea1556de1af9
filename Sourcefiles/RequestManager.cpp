#include "Sourcefiles/RequestManager.hpp"

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

}  // namespace

RequestManager& RequestManager::shared() {
    static RequestManager* instance = new RequestManager;  // lives until the process ends
    return *instance;
}

bool RequestManager::requestForVeltoUnit(std::string_view eventName,
                                         const VeltoParams* eventParams) {
    std::optional<platform::HttpRequest> request =
        RequestBuilder().buildVeltoRequest(eventName, eventParams);
    if (!request) return false;
    std::shared_ptr<platform::DataTask> task = platform::current().httpClient->dataTask(
        std::move(*request), &RequestManager::handleCompletion);
    return task && task->resume();
}

void RequestManager::handleCompletion(const std::optional<std::string>& data,
                                      const platform::URLResponse* response,
                                      const platform::TransportError* error) {
    if (error) {
        Log::error("Error: calling Post APi Optional(" + error->debugDescription + ")",
                   kRequestForVeltoUnit, __LINE__);
        return;
    }
    if (!response || !response->isHTTP()) {
        Log::error("Error: Invalid HTTPURLResponse", kRequestForVeltoUnit, __LINE__);
        return;
    }
    if (*response->statusCode == 200) {
        Log::info("Data Posted Successfully", kRequestForVeltoUnit, __LINE__);
        return;
    }
    if (!data || data->empty()) {
        Log::error("Error: did not receive data", kRequestForVeltoUnit, __LINE__);
        return;
    }
    if (!isValidUTF8(*data)) {
        Log::error("Error: Failed to parse pixel", kRequestForVeltoUnit, __LINE__);
        return;
    }
    const std::string& text = *data;
    if (!contains(text, "Failed to parse pixel:")) {
        Log::error("Error: " + text, kRequestForVeltoUnit, __LINE__);
    } else if (contains(text, "UNREGISTERED_PIXEL_ID")) {
        Log::error("Error: Velto server does not recognize Velto Id", kRequestForVeltoUnit,
                   __LINE__);
    } else if (contains(text, "PIXEL_MISSING_REQUIRED_FIELD") &&
               contains(text, "error_string:\"e\"")) {
        Log::error("Error: Event field is missing", kRequestForVeltoUnit, __LINE__);
    } else if (contains(text, "PIXEL_UNSUPPORTED_EVENT")) {
        Log::error("Error: Velto server does not support Event", kRequestForVeltoUnit, __LINE__);
    } else {
        Log::error("Error: Required field is missing", kRequestForVeltoUnit, __LINE__);
    }
}

}  // namespace VeltoSDK
