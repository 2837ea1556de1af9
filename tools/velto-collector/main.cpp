// velto-collector: a local collection server that checks every event the library posts,
// writes one JSON line per request and shows the requests on a live page.
// It is an independent check of what the library sends and shares no code with the library on
// purpose: a fault copied into both would agree with itself.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "EventJudge.hpp"
#include "LiveView.hpp"
#include "RecordStore.hpp"

namespace {

using namespace VeltoSDK::collector;
using nlohmann::json;
using nlohmann::ordered_json;

constexpr std::string_view kPath = "/velto/mob";

constexpr std::string_view kUsage =
    "usage: velto-collector [--host HOST] [--port PORT] [--pixel ID]... [--event NAME]...\n"
    "                       [--tls-cert FILE --tls-key FILE] [--out FILE] [--pretty] [--no-ui]\n"
    "  --host HOST      address to listen on (default 127.0.0.1)\n"
    "  --port PORT      port to listen on; 0 picks a free one (default 0)\n"
    "  --pixel ID       a registered pixel id (repeatable); none: any non-blank id\n"
    "  --event NAME     a supported event besides the eight standard ones (repeatable)\n"
    "  --tls-cert FILE  serve HTTPS with this certificate (PEM), together with --tls-key\n"
    "  --tls-key FILE   the certificate's private key (PEM)\n"
    "  --out FILE       write the records to FILE instead of standard output\n"
    "  --pretty         write each record for people instead of as one JSON line\n"
    "  --no-ui          serve no page: only the collection path answers\n"
    "The first line on standard output is \"listening on URL and serving the page at PAGE\"\n"
    "(\"listening on URL\" with --no-ui), URL being the base URL. The page lists the last\n"
    "10,000 requests; GET /api/events returns them as JSON, /api/stream sends each new one\n"
    "as a server-sent event.\n";

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    Registry registry{{}, standardEvents()};
    std::string tlsCert;
    std::string tlsKey;
    std::string out;
    bool pretty = false;
    bool ui = true;
    bool help = false;
};

// Returns the options, or a message for a usage error.
std::variant<Options, std::string> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--pretty") {
            options.pretty = true;
            continue;
        }
        if (arg == "--no-ui") {
            options.ui = false;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < argc) return std::string(argv[++i]);
            return std::nullopt;
        };
        std::optional<std::string> text;
        if (arg == "--host" || arg == "--port" || arg == "--pixel" || arg == "--event" ||
            arg == "--tls-cert" || arg == "--tls-key" || arg == "--out") {
            text = value();
            if (!text) return arg + " needs a value";
        } else {
            return "unknown argument: " + arg;
        }
        if (arg == "--host") {
            options.host = *text;
        } else if (arg == "--port") {
            std::size_t used = 0;
            int port = -1;
            try {
                port = std::stoi(*text, &used);
            } catch (const std::exception&) {
            }
            if (used != text->size() || port < 0 || port > 65535) {
                return "--port needs a number from 0 to 65535";
            }
            options.port = port;
        } else if (arg == "--pixel") {
            options.registry.pixelIds.insert(*text);
        } else if (arg == "--event") {
            options.registry.events.insert(*text);
        } else if (arg == "--tls-cert") {
            options.tlsCert = *text;
        } else if (arg == "--tls-key") {
            options.tlsKey = *text;
        } else {
            options.out = *text;
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        return "--tls-cert and --tls-key go together";
    }
    return options;
}

// One record per request, written whole: requests are served on several threads.
class RecordWriter {
public:
    RecordWriter(std::FILE* file, bool pretty) : file_(file), pretty_(pretty) {}
    void write(const ordered_json& record) {
        std::string text = pretty_ ? readable(record) : dump(record) + "\n";
        std::lock_guard lock(mutex_);
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fflush(file_);
    }

private:
    static std::string dump(const ordered_json& value, int indent = -1) {
        return value.dump(indent, ' ', false, ordered_json::error_handler_t::replace);
    }

    // For people: a summary line, then the body indented under it.
    static std::string readable(const ordered_json& record) {
        std::string text = record["method"].get<std::string>() + " " +
                           record["target"].get<std::string>() + "  ->  " +
                           std::to_string(record["status"].get<int>()) + " " +
                           record["verdict"].get<std::string>();
        if (record.contains("field")) {
            text += " error_string:\"" + record["field"].get<std::string>() + "\"";
        }
        text += "\n";
        std::string body = record.contains("bodyText") ? record["bodyText"].get<std::string>()
                           : record.contains("body") && !record["body"].is_null()
                               ? dump(record["body"], 2)
                               : "(no body)";
        std::size_t start = 0;
        while (start <= body.size()) {
            std::size_t end = std::min(body.find('\n', start), body.size());
            text += "    " + body.substr(start, end - start) + "\n";
            start = end + 1;
        }
        return text;
    }

    std::mutex mutex_;
    std::FILE* file_;
    bool pretty_;
};

ordered_json optionalText(const std::optional<std::string>& text) {
    return text ? ordered_json(*text) : ordered_json(nullptr);
}

std::optional<std::string> queryValue(const httplib::Request& req, const char* key) {
    if (!req.has_param(key)) return std::nullopt;
    return req.get_param_value(key);
}

std::vector<std::string> headerValues(const httplib::Request& req, const std::string& name) {
    std::vector<std::string> values;
    auto [first, last] = req.headers.equal_range(name);
    for (auto it = first; it != last; ++it) values.push_back(it->second);
    return values;
}

ordered_json headerJson(const std::vector<std::string>& values) {
    if (values.empty()) return nullptr;
    if (values.size() == 1) return values.front();
    return values;
}

// The arrival time in UTC with milliseconds, as 2026-01-31T12:00:00.123Z.
std::string arrivalTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return std::string(text) + "." + std::to_string(1000 + millis).substr(1) + "Z";
}

void handle(const httplib::Request& req, httplib::Response& res, const Registry& registry,
            RecordStore& store, RecordWriter& writer) {
    IncomingEvent event{req.method,
                        queryValue(req, "e"),
                        queryValue(req, "pi"),
                        headerValues(req, "Content-Type"),
                        headerValues(req, "Accept"),
                        req.body};
    ordered_json record{
        {"id", 0},  // the store numbers the records
        {"time", arrivalTime()},
        {"method", req.method},
        {"target", req.target},
        {"query", {{"e", optionalText(event.eventName)}, {"pi", optionalText(event.pixelId)}}},
        {"headers",
         {{"Content-Type", headerJson(event.contentType)}, {"Accept", headerJson(event.accept)}}}};

    std::optional<Rejection> rejection;
    if (req.path != kPath) {
        res.status = 404;
        res.set_content("Not found", "text/plain");
    } else {
        Verdict verdict = judge(event, registry);
        record["body"] = verdict.body.value_or(json(nullptr));
        record["bodyFaults"] = verdict.bodyFaults;
        rejection = verdict.rejection;
        if (rejection) {
            res.status = 400;
            res.set_content(responseBody(*rejection), "text/plain");
        } else {
            res.status = 200;
            res.set_content("OK", "text/plain");
        }
    }
    if (!req.body.empty() && (!record.contains("body") || record["body"].is_null())) {
        record["bodyText"] = req.body;
    }
    record["status"] = res.status;
    record["verdict"] = res.status == 404 ? "NOT_FOUND"
                        : rejection       ? std::string(reasonCode(rejection->reason))
                                          : "ACCEPTED";
    if (rejection) record["field"] = rejection->field;
    record["answer"] = res.body;
    store.add(record);
    writer.write(record);
}

std::string rootURL(const Options& options, int port) {
    bool ipv6 = options.host.find(':') != std::string::npos;
    std::string host = ipv6 ? "[" + options.host + "]" : options.host;
    std::string scheme = options.tlsCert.empty() ? "http" : "https";
    return scheme + "://" + host + ":" + std::to_string(port) + "/";
}

// The first line names both URLs; the base URL comes first, as one word, for scripts.
std::string firstLine(const Options& options, int port) {
    std::string line =
        "listening on " + rootURL(options, port) + std::string(kPath.substr(1)) + "?";
    if (options.ui) line += " and serving the page at " + rootURL(options, port);
    return line;
}

// Waits for SIGINT or SIGTERM on its own thread and stops the server. The signals are blocked
// in every thread, so they are only ever taken here.
class SignalStopper {
public:
    SignalStopper(httplib::Server& server, RecordStore& store) : server_(server), store_(store) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this] { run(); });
    }
    ~SignalStopper() {
        done_ = true;
        pthread_kill(thread_.native_handle(), SIGTERM);  // wakes the wait if no signal came
        thread_.join();
    }
    bool stopRequested() const { return stopRequested_; }

private:
    void run() {
        int received = 0;
        sigwait(&signals_, &received);
        if (done_) return;
        stopRequested_ = true;
        store_.close();  // ends the open streams, which would hold up the server's threads
        // A signal may land between binding and listening, before stop() has an effect.
        for (int attempt = 0; attempt < 500 && !done_; ++attempt) {
            if (server_.is_running()) {
                server_.stop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    httplib::Server& server_;
    RecordStore& store_;
    sigset_t signals_;
    std::atomic<bool> done_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

int run(const Options& options) {
    std::unique_ptr<httplib::Server> server;
    if (options.tlsCert.empty()) {
        server = std::make_unique<httplib::Server>();
    } else {
        server =
            std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
    }
    if (!server->is_valid()) {
        std::cerr << "velto-collector: cannot load the TLS certificate or key\n";
        return 1;
    }

    std::FILE* out = stdout;
    if (!options.out.empty()) {
        out = std::fopen(options.out.c_str(), "w");
        if (out == nullptr) {
            std::cerr << "velto-collector: cannot open " << options.out << "\n";
            return 1;
        }
    }
    RecordWriter writer(out, options.pretty);
    RecordStore store(options.ui ? RecordStore::kMaxRecords : 0);

    if (options.ui) {
        addLiveView(*server, store, isLoopbackHost(options.host));
        // Each open page holds a thread: leave as many again for the events.
        server->new_task_queue = [] { return new httplib::ThreadPool(2 * kMaxStreams); };
    }
    auto handler = [&](const httplib::Request& req, httplib::Response& res) {
        handle(req, res, options.registry, store, writer);
    };
    const char* everyPath = ".*";
    server->Get(everyPath, handler)
        .Post(everyPath, handler)
        .Put(everyPath, handler)
        .Patch(everyPath, handler)
        .Delete(everyPath, handler)
        .Options(everyPath, handler);
    server->set_payload_max_length(1 << 20);

    SignalStopper stopper(*server, store);
    int port = options.port;
    if (port == 0) {
        port = server->bind_to_any_port(options.host);
    } else if (!server->bind_to_port(options.host, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::cerr << "velto-collector: cannot listen on " << options.host << ":" << options.port
                  << "\n";
        return 1;
    }
    std::printf("%s\n", firstLine(options, port).c_str());
    if (options.ui && !isLoopbackHost(options.host)) {
        std::printf(
            "warning: %s is not a loopback address: anyone who can reach port %d can "
            "read the received events on the page and at /api/events\n",
            options.host.c_str(), port);
    }
    std::fflush(stdout);

    if (!stopper.stopRequested()) server->listen_after_bind();
    if (out != stdout) std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    auto parsed = parseOptions(argc, argv);
    if (auto* message = std::get_if<std::string>(&parsed)) {
        std::cerr << "velto-collector: " << *message << "\n" << kUsage;
        return 2;
    }
    const auto& options = std::get<Options>(parsed);
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    return run(options);
}
