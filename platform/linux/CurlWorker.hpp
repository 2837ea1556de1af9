#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/CurlTransfer.hpp"

namespace VeltoSDK::platform::linux_os {

// What the worker needs of its client. All of it is called on the worker thread.
class WorkerQueue {
public:
    virtual bool shouldStop() = 0;
    // Never returns: the worker stops touching curl for good.
    [[noreturn]] virtual void park() = 0;
    // Publishes the worker's new multi handle, so callers can wake it, and cleans up the old.
    virtual void setMulti(CURLM* multi) = 0;
    // Swaps the tasks handed over since the last take into `into`, which is empty: callers
    // then fill its room, so neither side allocates a list per batch.
    virtual void takeIncoming(std::vector<std::unique_ptr<CurlTask>>& into) = 0;
    // Tasks or refusals arrived since the last take, perhaps without waking the worker.
    virtual bool hasNews() = 0;
    // Tells the handlers of refused transfers.
    virtual void deliverRefusals() = 0;
    // After the task's handler has returned; the task's memory is the queue's to free.
    virtual void markCompleted(std::unique_ptr<CurlTask> task) = 0;
    virtual const std::string& caBundle() const = 0;

protected:
    ~WorkerQueue() = default;
};

// Drives every transfer of one client until the process ends.
[[noreturn]] void runWorker(WorkerQueue& queue);

// Runs a completion handler; whatever it throws stays out of the worker.
void runCompletion(const CompletionHandler& completion, const std::optional<std::string>& data,
                   const URLResponse* response, const TransportError* error);

}  // namespace VeltoSDK::platform::linux_os
