// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "LiveView.hpp"

#include <arpa/inet.h>
#include <openssl/evp.h>

#include <atomic>
#include <charconv>
#include <memory>
#include <string_view>

#include "Page.hpp"

namespace VeltoSDK::collector {
namespace {

using namespace std::chrono_literals;

// Records per write of the stream: a page that connects late gets the backlog in slices.
constexpr std::size_t kStreamSlice = 100;
// An idle stream says so this often, which also finds pages that went away.
constexpr auto kStreamIdle = 15s;

// "[::1]:80" -> "::1", "localhost:80" -> "localhost".
std::string hostName(const std::string& header) {
    if (header.starts_with('[')) return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

// Only the page's own script may run, so whatever an event smuggles into the page stays text.
std::string contentSecurityPolicy(std::string_view page) {
    const std::size_t start = page.find("<script>") + std::string_view("<script>").size();
    const std::string_view script = page.substr(start, page.find("</script>", start) - start);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(script.data(), script.size(), digest, &length, EVP_sha256(), nullptr);
    unsigned char base64[4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1];
    EVP_EncodeBlock(base64, digest, static_cast<int>(length));
    return "default-src 'none'; script-src 'sha256-" +
           std::string(reinterpret_cast<const char*>(base64)) +
           "'; style-src 'unsafe-inline'; connect-src 'self'; img-src data:; base-uri 'none'; "
           "form-action 'none'; frame-ancestors 'none'";
}

// Names this run of the collector. Event ids are "RUN-ID": a page left open while the collector
// restarts must not resume after an id that the new run has not reached yet.
std::string runName() {
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count());
}

// The record id a reconnecting page last received from this run; 0 for none.
std::uint64_t lastEventId(const httplib::Request& req, const std::string& run) {
    const std::string text = req.get_header_value("Last-Event-ID");
    std::uint64_t id = 0;
    if (text.starts_with(run + "-"))
        std::from_chars(text.data() + run.size() + 1, text.data() + text.size(), id);
    return id;
}

std::string stateMessage(const RecordStore::Snapshot& snapshot, const std::string& run) {
    return "data: {\"run\":\"" + run + "\",\"dropped\":" + std::to_string(snapshot.dropped) +
           "}\n\n";
}

// One message per record, carrying the count of records dropped so far.
std::string recordMessages(const RecordStore::Snapshot& snapshot, const std::string& run) {
    std::string text;
    for (const auto& entry : snapshot.entries) {
        text += "id: " + run + "-" + std::to_string(entry.id) +
                "\ndata: {\"dropped\":" + std::to_string(snapshot.dropped) +
                ",\"record\":" + *entry.json + "}\n\n";
    }
    return text;
}

}  // namespace

bool isLoopbackHost(const std::string& host) {
    std::string bare =
        host.starts_with('[') && host.ends_with(']') ? host.substr(1, host.size() - 2) : host;
    in_addr v4{};
    if (inet_pton(AF_INET, bare.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, bare.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return bare == "localhost";
}

void addLiveView(httplib::Server& server, RecordStore& store, bool loopbackOnly) {
    auto admitted = [loopbackOnly](const httplib::Request& req, httplib::Response& res) {
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Cache-Control", "no-store");
        if (!loopbackOnly || isLoopbackHost(hostName(req.get_header_value("Host")))) return true;
        res.status = 403;
        res.set_content("This collector answers only to a loopback host name.\n", "text/plain");
        return false;
    };

    server.Get("/", [admitted, policy = contentSecurityPolicy(pageHtml())](
                        const httplib::Request& req, httplib::Response& res) {
        if (!admitted(req, res)) return;
        res.set_header("Content-Security-Policy", policy);
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_content(pageHtml().data(), pageHtml().size(), "text/html; charset=utf-8");
    });

    server.Get("/api/events", [&store, admitted](const httplib::Request& req,
                                                 httplib::Response& res) {
        if (!admitted(req, res)) return;
        const auto snapshot = store.since(0);
        std::string text = "{\"dropped\":" + std::to_string(snapshot.dropped) + ",\"records\":[";
        for (const auto& entry : snapshot.entries) {
            if (entry.id != snapshot.entries.front().id) text += ',';
            text += *entry.json;
        }
        text += "]}\n";
        res.set_content(text, "application/json");
    });

    auto open = std::make_shared<std::atomic<int>>(0);
    server.Get("/api/stream", [&store, admitted, open, run = runName()](const httplib::Request& req,
                                                                        httplib::Response& res) {
        if (!admitted(req, res)) return;
        if (++*open > kMaxStreams) {
            --*open;
            res.status = 503;
            res.set_content("Too many pages are open.\n", "text/plain");
            return;
        }
        res.set_chunked_content_provider(
            "text/event-stream",
            [&store, run, after = lastEventId(req, run), greeted = false](
                std::size_t, httplib::DataSink& sink) mutable {
                auto snapshot = store.since(after, kStreamSlice);
                if (snapshot.entries.empty() && greeted) {
                    if (!store.waitBeyond(after, kStreamIdle)) return false;
                    snapshot = store.since(after, kStreamSlice);
                }
                // The state alone greets a new page and keeps an idle stream alive.
                std::string text = snapshot.entries.empty() ? stateMessage(snapshot, run) : "";
                if (!greeted) text = "retry: 2000\n" + stateMessage(snapshot, run);
                greeted = true;
                text += recordMessages(snapshot, run);
                if (!snapshot.entries.empty()) after = snapshot.entries.back().id;
                return sink.write(text.data(), text.size());
            },
            [open](bool) { --*open; });
    });
}

}  // namespace VeltoSDK::collector
