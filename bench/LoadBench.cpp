// Fires the worked-example purchase at a server and reports what the app's thread paid per
// call, the delivery rate up to `Velto::flush`, and peak memory. With --raw it posts the same
// body with plain libcurl multi instead: what the transport alone achieves on that server. With
// --floor it does the same and, before each post, the work the library must do for an event on
// the thread that fires it (FloorEvent): the floor the library is measured against.
//
// The library logs to standard output; the report goes to standard error or --report.
#include <curl/curl.h>
#include <sys/resource.h>

#include <algorithm>
#include <barrier>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include "FloorEvent.hpp"
#include "Sourcefiles/RequestBuilder.hpp"

namespace {

using namespace VeltoSDK;
using Clock = std::chrono::steady_clock;

struct Options {
    std::string url;  // the base URL, ending in "?"
    int events = 20'000;
    int threads = 1;
    int wave = 5'000;  // half the HTTP client's limit of waiting transfers
    bool raw = false;
    bool floor = false;  // raw, plus the per-event work
    double timeoutSeconds = 60;
    std::string reportPath;
};

struct Outcome {
    double seconds = 0;
    int delivered = 0;  // known answered with 200 (raw mode only)
    std::string firstFailure;
    bool complete = false;
    std::vector<double> callMicros;  // per fireEvent call
};

const char* kUsage =
    "usage: velto-loadbench --url BASE_URL [--events N] [--threads T] [--wave N] [--raw|--floor]\n"
    "                       [--timeout SECONDS] [--report FILE]\n"
    "CURL_CA_BUNDLE names the certificates to trust over https, in every mode.\n";

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--floor") {
            options.raw = options.floor = true;
        } else if (arg == "--url" && (v = value())) {
            options.url = v;
        } else if (arg == "--events" && (v = value())) {
            options.events = std::atoi(v);
        } else if (arg == "--wave" && (v = value())) {
            options.wave = std::atoi(v);
        } else if (arg == "--threads" && (v = value())) {
            options.threads = std::atoi(v);
        } else if (arg == "--timeout" && (v = value())) {
            options.timeoutSeconds = std::atof(v);
        } else if (arg == "--report" && (v = value())) {
            options.reportPath = v;
        } else {
            return false;
        }
    }
    return !options.url.empty() && options.events > 0 && options.threads > 0 && options.wave > 0 &&
           options.threads <= 64 && options.timeoutSeconds > 0;
}

VeltoParams purchaseParams() {
    VeltoParams params("25", "USD", "A1,B2", std::nullopt, std::nullopt);
    params.put("color", "red,blue");
    return params;
}

// Events go in waves, each flushed before the next: the client refuses transfers beyond its
// limit of waiting ones, and the caller fires faster than any transport delivers.
Outcome runLibrary(const Options& options) {
    const VeltoParams params = purchaseParams();
    Outcome outcome;
    outcome.callMicros.resize(static_cast<size_t>(options.events));
    const int waves = (options.events + options.wave - 1) / options.wave;
    std::barrier sync(options.threads + 1);
    std::vector<std::thread> firing;
    for (int t = 0; t < options.threads; ++t) {
        firing.emplace_back([&, t] {
            for (int wave = 0; wave < waves; ++wave) {
                sync.arrive_and_wait();  // the wave starts
                int end = std::min(options.events, (wave + 1) * options.wave);
                for (int i = wave * options.wave + t; i < end; i += options.threads) {
                    auto before = Clock::now();
                    Velto::fireEvent("Purchase", &params);
                    std::chrono::duration<double, std::micro> took = Clock::now() - before;
                    outcome.callMicros[static_cast<size_t>(i)] = took.count();
                }
                sync.arrive_and_wait();  // the wave is fired
            }
        });
    }
    auto began = Clock::now();
    auto deadline = began + std::chrono::duration<double>(options.timeoutSeconds);
    outcome.complete = true;
    for (int wave = 0; wave < waves; ++wave) {
        sync.arrive_and_wait();
        sync.arrive_and_wait();
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        outcome.complete = outcome.complete && left > 0 && Velto::flush(left);
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    for (auto& thread : firing) thread.join();
    return outcome;
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// Six connections, each reused for the next request as soon as its answer is in. `floor`, when
// given, makes each body just before it is posted.
Outcome runRaw(const Options& options, const platform::HttpRequest& request,
               bench::FloorEvent* floor) {
    constexpr int kConnections = 6;
    const std::string& url = request.url().absoluteString();
    const char* caBundle = std::getenv("CURL_CA_BUNDLE");
    std::vector<std::string> bodies(kConnections, request.httpBody());
    auto add = [&](CURLM* multi, CURL* easy, std::size_t slot) {
        if (floor) bodies[slot] = floor->next();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodies[slot].c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(bodies[slot].size()));
        curl_multi_add_handle(multi, easy);
    };
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.allHTTPHeaderFields())
        headers = curl_slist_append(headers, (name + ": " + value).c_str());

    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(kConnections));
    std::vector<CURL*> easies;
    for (int i = 0; i < kConnections; ++i) {
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_PRIVATE,
                         reinterpret_cast<char*>(static_cast<std::intptr_t>(i)));
        if (caBundle && *caBundle) curl_easy_setopt(easy, CURLOPT_CAINFO, caBundle);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        easies.push_back(easy);
    }

    Outcome outcome;
    auto began = Clock::now();
    auto deadline = began + std::chrono::duration<double>(options.timeoutSeconds);
    int started = 0;
    int finished = 0;
    for (std::size_t slot = 0; slot < easies.size() && started < options.events; ++slot) {
        add(multi, easies[slot], slot);
        ++started;
    }
    while (finished < started && Clock::now() < deadline) {
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            CURL* easy = message->easy_handle;
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            if (message->data.result == CURLE_OK && status == 200) {
                ++outcome.delivered;
            } else if (outcome.firstFailure.empty()) {
                outcome.firstFailure = std::string(curl_easy_strerror(message->data.result)) +
                                       ", HTTP " + std::to_string(status);
            }
            ++finished;
            curl_multi_remove_handle(multi, easy);
            if (started < options.events) {
                char* slot = nullptr;
                curl_easy_getinfo(easy, CURLINFO_PRIVATE, &slot);
                add(multi, easy, static_cast<std::size_t>(reinterpret_cast<std::intptr_t>(slot)));
                ++started;
            }
        }
        if (finished < started) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    outcome.complete = finished == options.events;
    for (CURL* easy : easies) {
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
    }
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    return outcome;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    auto at = values.begin() + static_cast<long>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    Velto::initialize("bench-pixel-0001");
    Velto::shared().setBaseURL(options.url);

    Outcome outcome;
    if (options.raw) {
        const VeltoParams params = purchaseParams();
        std::optional<platform::HttpRequest> request =
            RequestBuilder().buildVeltoRequest("Purchase", &params);
        if (!request) {
            std::cerr << "velto-loadbench: no request built for " << options.url << "\n";
            return 1;
        }
        std::unique_ptr<bench::FloorEvent> floor;
        if (options.floor)
            floor = std::make_unique<bench::FloorEvent>(request->url().absoluteString());
        outcome = runRaw(options, *request, floor.get());
    } else {
        outcome = runLibrary(options);
    }

    std::ostringstream report;
    report.setf(std::ios::fixed);
    report.precision(1);
    report << "mode="
           << (options.floor ? "floor"
               : options.raw ? "raw"
                             : "sdk")
           << " events=" << options.events << " threads=" << options.threads
           << " complete=" << outcome.complete << " seconds=" << outcome.seconds
           << " eps=" << static_cast<double>(options.events) / outcome.seconds;
    if (options.raw) {
        report << " delivered=" << outcome.delivered;
        if (!outcome.firstFailure.empty())
            report << " first_failure=\"" << outcome.firstFailure << '"';
    } else {
        report << " caller_p50_us=" << percentile(outcome.callMicros, 0.50)
               << " caller_p99_us=" << percentile(outcome.callMicros, 0.99)
               << " caller_max_us=" << percentile(outcome.callMicros, 1.0);
    }
    report << " peak_rss_mb=" << peakRssMegabytes() << "\n";
    if (options.reportPath.empty()) {
        std::cerr << report.str();
    } else {
        std::ofstream(options.reportPath) << report.str();
    }
    bool ok = outcome.complete && (!options.raw || outcome.delivered == options.events);
    return ok ? 0 : 1;
}
