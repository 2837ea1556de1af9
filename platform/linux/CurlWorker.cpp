#include "platform/linux/CurlWorker.hpp"

#include <cctype>
#include <chrono>
#include <deque>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "platform/linux/CurlHttpClient.hpp"
#include "platform/linux/CurlUrl.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// The longest sleep without news: a lost wake-up costs latency, never a hang.
constexpr int kIdlePollMs = 1000;
// While transfers run, waiting ones are checked for their deadline at least this often.
constexpr int kBusyPollMs = 100;
constexpr long kCachedConnections = 64;

std::string takeCurlString(char* text) {
    std::string copy = text ? text : "";
    curl_free(text);
    return copy;
}

// Transfers to one origin share its connection limit.
struct Origin {
    std::string key;   // scheme://host:port
    std::string host;  // for error descriptions
};

std::optional<Origin> originOf(const std::string& url, std::string& error) {
    CurlUrl parsed(curl_url());
    if (!parsed) {
        error = "out of memory";
        return std::nullopt;
    }
    if (CURLUcode rc = curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0)) {
        error = curl_url_strerror(rc);
        return std::nullopt;
    }
    char* part = nullptr;
    curl_url_get(parsed.get(), CURLUPART_SCHEME, &part, 0);
    std::string scheme = takeCurlString(std::exchange(part, nullptr));
    curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0);
    std::string host = takeCurlString(std::exchange(part, nullptr));
    curl_url_get(parsed.get(), CURLUPART_PORT, &part, CURLU_DEFAULT_PORT);
    std::string port = takeCurlString(std::exchange(part, nullptr));
    return Origin{scheme + "://" + host + ":" + port, host};
}

// The scheme and authority of a URL that parsed: everything before its path, query or
// fragment, as the parser splits it. Empty without an authority.
std::string_view schemeAndAuthority(std::string_view url) {
    std::size_t authority = url.find("://");
    if (authority == std::string_view::npos) return {};
    return url.substr(0, url.find_first_of("/?#", authority + 3));
}

bool isWireScheme(std::string scheme) {
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme == "http" || scheme == "https";
}

class Worker {
public:
    explicit Worker(WorkerQueue& queue) : queue_(queue) {}

    [[noreturn]] void run() {
        if (queue_.shouldStop()) queue_.park();
        renewMulti();
        for (;;) {
            if (queue_.shouldStop()) queue_.park();
            try {
                turn();
            } catch (...) {
                // Out of memory at worst; the next turn tries again.
            }
        }
    }

private:
    struct Host {
        std::string name;
        std::size_t running = 0;
        std::deque<std::unique_ptr<CurlTask>> waiting;  // no easy handle until it starts
    };
    struct Running {
        std::string hostKey;
        std::unique_ptr<CurlTransfer> transfer;
    };

    void turn() {
        queue_.takeIncoming(taken_);
        for (auto& task : taken_) admit(std::move(task));
        taken_.clear();  // its room goes back to the callers at the next take
        queue_.deliverRefusals();
        expireWaiting();
        int active = 0;
        CURLMcode rc = curl_multi_perform(multi_, &active);
        if (rc == CURLM_OK) {
            readFinished();
            // Callers do not always wake a busy worker, so what they left is taken first.
            if (queue_.hasNews()) return;
            int wait = running_.empty() ? kIdlePollMs : kBusyPollMs;
            rc = curl_multi_poll(multi_, nullptr, 0, wait, nullptr);
        }
        if (rc != CURLM_OK) {
            failRunning(std::string("multi handle failed: ") + curl_multi_strerror(rc));
            renewMulti();
            startAllWaiting();
        }
    }

    void renewMulti() {
        CURLM* fresh = nullptr;
        while (!(fresh = curl_multi_init())) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        curl_multi_setopt(fresh, CURLMOPT_MAX_HOST_CONNECTIONS,
                          static_cast<long>(kMaxConnectionsPerHost));
        curl_multi_setopt(fresh, CURLMOPT_MAXCONNECTS, kCachedConnections);
        queue_.setMulti(fresh);
        multi_ = fresh;
    }

    void admit(std::unique_ptr<CurlTask> task) {
        const URL& url = task->request.url();
        if (!isWireScheme(url.scheme())) {
            // Another scheme answers without touching the network or the file system.
            TransferResult result;
            result.response = URLResponse{};
            complete(std::move(task), result);
            return;
        }
        std::string error;
        const Origin* origin = originFor(url.absoluteString(), error);
        if (!origin) {
            complete(std::move(task), failure(CURLE_URL_MALFORMAT, error, ""));
            return;
        }
        Host& host = hosts_[origin->key];
        host.name = origin->host;
        host.waiting.push_back(std::move(task));
        startWaiting(origin->key);
    }

    // Events go to one server after another, so the last origin found is kept by the text it
    // came from instead of parsing each URL again. Null, with `error` set, when the URL has none.
    const Origin* originFor(const std::string& url, std::string& error) {
        std::string_view prefix = schemeAndAuthority(url);
        if (lastOrigin_ && !prefix.empty() && prefix == lastOriginPrefix_) return &*lastOrigin_;
        lastOrigin_ = originOf(url, error);
        lastOriginPrefix_ = prefix;
        return lastOrigin_ ? &*lastOrigin_ : nullptr;
    }

    void startWaiting(const std::string& key) {
        auto it = hosts_.find(key);
        if (it == hosts_.end()) return;
        Host& host = it->second;
        while (host.running < kMaxConnectionsPerHost && !host.waiting.empty()) {
            auto transfer = std::make_unique<CurlTransfer>(
                std::move(host.waiting.front()), host.name, queue_.caBundle(), pool_, headerLists_);
            host.waiting.pop_front();
            if (std::optional<TransferResult> failed =
                    transfer->start(multi_, SteadyClock::now())) {
                std::unique_ptr<CurlTask> task = transfer->takeTask();
                transfer.reset();
                complete(std::move(task), *failed);
                continue;
            }
            CurlTransfer* raw = transfer.get();
            running_.emplace(raw, Running{key, std::move(transfer)});
            ++host.running;
        }
        if (host.running == 0 && host.waiting.empty()) hosts_.erase(it);
    }

    // A task waiting for a connection slot fails when its deadline passes, however long the
    // transfers ahead of it take. Checked a few times a second at most.
    void expireWaiting() {
        const auto now = SteadyClock::now();
        if (now < nextExpiryCheck_) return;
        nextExpiryCheck_ = now + std::chrono::milliseconds(kBusyPollMs);
        for (auto host = hosts_.begin(); host != hosts_.end();) {
            auto& waiting = host->second.waiting;
            for (auto it = waiting.begin(); it != waiting.end();) {
                if ((*it)->deadline > now) {
                    ++it;
                    continue;
                }
                std::unique_ptr<CurlTask> task = std::move(*it);
                it = waiting.erase(it);
                complete(std::move(task), failure(CURLE_OPERATION_TIMEDOUT,
                                                  "deadline passed while waiting for a connection",
                                                  host->second.name));
            }
            bool idle = host->second.running == 0 && waiting.empty();
            host = idle ? hosts_.erase(host) : std::next(host);
        }
    }

    void startAllWaiting() {
        std::vector<std::string> keys;
        for (const auto& [key, host] : hosts_) keys.push_back(key);
        for (const auto& key : keys) startWaiting(key);
    }

    void readFinished() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            CURLcode code = message->data.result;
            char* self = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &self);
            auto it = running_.find(reinterpret_cast<CurlTransfer*>(self));
            if (it == running_.end()) continue;
            Running entry = std::move(it->second);
            running_.erase(it);
            TransferResult result = entry.transfer->finish(code);
            finishTransfer(std::move(entry), result);
        }
    }

    // Each transfer in flight fails; waiting ones stay for the next multi handle.
    void failRunning(const std::string& reason) {
        auto doomed = std::move(running_);
        running_.clear();
        for (auto& [raw, entry] : doomed) {
            TransferResult result = failure(CURLE_FAILED_INIT, reason, entry.transfer->host());
            finishTransfer(std::move(entry), result);
        }
    }

    void finishTransfer(Running entry, const TransferResult& result) {
        std::unique_ptr<CurlTask> task = entry.transfer->takeTask();
        entry.transfer.reset();  // frees the connection slot before the handler runs
        if (auto it = hosts_.find(entry.hostKey); it != hosts_.end()) --it->second.running;
        complete(std::move(task), result);
        startWaiting(entry.hostKey);
    }

    void complete(std::unique_ptr<CurlTask> task, const TransferResult& result) {
        runCompletion(task->completion, result.data, result.response ? &*result.response : nullptr,
                      result.error ? &*result.error : nullptr);
        queue_.markCompleted(std::move(task));
    }

    WorkerQueue& queue_;
    std::vector<std::unique_ptr<CurlTask>> taken_;  // empty between turns
    CURLM* multi_ = nullptr;
    EasyHandlePool pool_;
    HeaderListCache headerLists_;
    std::unordered_map<std::string, Host> hosts_;
    std::string lastOriginPrefix_;
    std::optional<Origin> lastOrigin_;
    std::unordered_map<CurlTransfer*, Running> running_;
    SteadyClock::time_point nextExpiryCheck_{};
};

}  // namespace

void runWorker(WorkerQueue& queue) {
    // Lives on the worker's stack, which is never unwound.
    Worker worker(queue);
    worker.run();
}

void runCompletion(const CompletionHandler& completion, const std::optional<std::string>& data,
                   const URLResponse* response, const TransportError* error) {
    if (!completion) return;
    try {
        completion(data, response, error);
    } catch (...) {
    }
}

}  // namespace VeltoSDK::platform::linux_os
