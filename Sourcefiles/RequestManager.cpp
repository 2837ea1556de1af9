#include "RequestManager.hpp"

#include "../platform/Services.hpp"
#include "Log.hpp"
#include "RequestBuilder.hpp"
#include "UTF8.hpp"

namespace VeltoSDK {
namespace {

constexpr std::string_view kFile = "Sourcefiles/RequestManager";
constexpr std::string_view kFunction = "requestForVeltoUnit(eventName:eventParams:)";

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
    std::shared_ptr<platform::DataTask> task =
        platform::httpClient().dataTask(std::move(*request), &RequestManager::handleCompletion);
    return task && task->resume();
}

void RequestManager::handleCompletion(const std::optional<std::string>& data,
                                      const platform::URLResponse* response,
                                      const platform::TransportError* error) {
    if (error) {
        Log::error("Error: calling Post APi Optional(" + error->debugDescription + ")", kFile,
                   __LINE__, kFunction);
        return;
    }
    if (!response || !response->isHTTP()) {
        Log::error("Error: Invalid HTTPURLResponse", kFile, __LINE__, kFunction);
        return;
    }
    if (*response->statusCode == 200) {
        Log::info("Data Posted Successfully", kFile, __LINE__, kFunction);
        return;
    }
    if (!data || data->empty()) {
        Log::error("Error: did not receive data", kFile, __LINE__, kFunction);
        return;
    }
    if (!isValidUTF8(*data)) {
        Log::error("Error: Failed to parse pixel", kFile, __LINE__, kFunction);
        return;
    }
    const std::string& text = *data;
    if (!contains(text, "Failed to parse pixel:")) {
        Log::error("Error: " + text, kFile, __LINE__, kFunction);
    } else if (contains(text, "UNREGISTERED_PIXEL_ID")) {
        Log::error("Error: Velto server does not recognize Velto Id", kFile, __LINE__, kFunction);
    } else if (contains(text, "PIXEL_MISSING_REQUIRED_FIELD") &&
               contains(text, "error_string:\"e\"")) {
        Log::error("Error: Event field is missing", kFile, __LINE__, kFunction);
    } else if (contains(text, "PIXEL_UNSUPPORTED_EVENT")) {
        Log::error("Error: Velto server does not support Event", kFile, __LINE__, kFunction);
    } else {
        Log::error("Error: Required field is missing", kFile, __LINE__, kFunction);
    }
}

}  // namespace VeltoSDK
