// The collector's live page in headless Chromium: events fired through the library (and one
// body the library would never send) show up as rows, one request's detail, the filter, the
// clear button, and hostile names that stay text. The same run takes the README's screenshot.
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "DevTools.hpp"

namespace {

using namespace VeltoSDK::testing;
using nlohmann::json;

// One event through the library (velto-fire), its answer awaited.
void fire(const std::string& url, std::vector<std::string> args) {
    args.insert(args.begin(), {VELTO_FIRE_PATH, "--base-url", url, "--timeout", "10"});
    exitCode(spawn(args), 30s);
}

std::string base64Decode(const std::string& text) {
    std::string bytes(text.size() / 4 * 3, '\0');
    int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                               reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<int>(text.size()));
    bytes.resize(size < 0 ? 0 : size - std::count(text.end() - 2, text.end(), '='));
    return bytes;
}

// The base URL and the page's URL from the first line, "" when it is not as it should be.
std::pair<std::string, std::string> urls(Collector& collector, bool ui) {
    const std::string line = collector.readLine(10s).value_or("");
    const std::string last = line.substr(line.rfind(' ') + 1);
    const std::string page = last.substr(0, last.find("velto/mob?"));
    const std::string url = page + "velto/mob?";
    const std::string expected =
        ui ? "listening on " + url + " and serving the page at " + page : "listening on " + url;
    if (line != expected || !page.starts_with("http://127.0.0.1:")) {
        ADD_FAILURE() << "first line: " << line;
        return {"", ""};
    }
    return {url, page};
}

// The cells of the rows shown, newest first, without the arrival time.
constexpr const char* kShownRows =
    "[...document.querySelectorAll('#rows tr')].filter((r) => !r.hidden)"
    ".map((r) => [...r.cells].slice(1).map((c) => c.textContent))";

TEST(CollectorPage, ShowsEachRequestAsTextInARealBrowser) {
    Collector collector({VELTO_COLLECTOR_PATH, "--pixel", "px-shop"});
    const auto [url, page] = urls(collector, true);
    ASSERT_FALSE(url.empty());
    const std::string hostile = "<img src=x onerror=alert(1)>";

    // The library sends the event name unchanged, so it arrives percent-decoded.
    // Each run waits for its answer, so the records arrive in this order.
    fire(url, {"--pixel-id", "px-shop", "--value", "25", "--currency", "USD", "--item-name",
               "</script>", "Purchase"});
    fire(url, {"--pixel-id", "px-unknown", "Lead"});
    fire(url, {"--pixel-id", "px-shop", "%3Cimg%20src%3Dx%20onerror%3Dalert(1)%3E"});
    std::vector<json> lines;
    for (int record = 0; record < 3; ++record) {
        auto line = collector.readLine(10s);
        ASSERT_TRUE(line);
        lines.push_back(json::parse(*line));
    }

    Browser tab;
    if (!tab.started()) GTEST_SKIP() << "Chromium (the chromium package) cannot start here";
    tab.call("Page.enable");
    tab.call("Page.addScriptToEvaluateOnNewDocument",
             {{"source", "window.ran = []; window.alert = (m) => window.ran.push(String(m));"}});
    tab.call("Emulation.setDeviceMetricsOverride",
             {{"width", 1280}, {"height", 720}, {"deviceScaleFactor", 1}, {"mobile", false}});
    tab.call("Page.navigate", {{"url", page}});
    ASSERT_TRUE(tab.waitFor("document.querySelectorAll('#rows tr').length === 3"));

    // A body that fails the checks arrives while the page is open. The library cannot send it.
    httplib::Client client(page.substr(0, page.size() - 1));
    auto answer = client.Post("/velto/mob?e=Purchase&pi=px-shop", {{"Accept", "application/json"}},
                              R"({"va": 25, "et": 1})", "application/json");
    ASSERT_TRUE(answer && answer->status == 400);
    lines.push_back(json::parse(collector.readLine(10s).value_or("null")));
    // The API has the JSON lines, for the page's own host name only.
    auto events = client.Get("/api/events");
    ASSERT_TRUE(events && events->status == 200);
    EXPECT_EQ(json::parse(events->body), (json{{"dropped", 0}, {"records", lines}}));
    auto rebound = client.Get("/api/events", {{"Host", "tracker.example:80"}});
    EXPECT_TRUE(rebound && rebound->status == 403);
    // The stream up to record 4 after `lastId`: the run's name, then a message per record.
    auto stream = [&](const std::string& lastId) {
        std::string text;
        client.Get("/api/stream", {{"Last-Event-ID", lastId}}, [&](const char* data, size_t size) {
            text.append(data, size);
            return text.find("\n\n", text.find("-4\ndata: ")) == std::string::npos;
        });
        return text;
    };
    const std::string all = stream("");
    const size_t greeting = all.find("data: ") + 6;
    const std::string run =
        json::parse(all.substr(greeting, all.find('\n', greeting) - greeting))["run"];
    const std::string resumed = stream(run + "-3");  // a page that reconnects gets what it missed
    const size_t data = resumed.find("id: " + run + "-4\ndata: ") + run.size() + 13;
    EXPECT_EQ(json::parse(resumed.substr(data, resumed.find('\n', data) - data)),
              (json{{"dropped", 0}, {"record", lines[3]}}));
    EXPECT_EQ(resumed.find("-3\n"), std::string::npos);
    EXPECT_NE(stream("1-3").find("id: " + run + "-1\n"), std::string::npos);  // another run's id

    ASSERT_TRUE(tab.waitFor("document.querySelectorAll('#rows tr').length === 4"));
    EXPECT_EQ(tab.evaluate(kShownRows), json::parse(R"([
        ["Purchase", "px-shop", "400 PIXEL_MISSING_REQUIRED_FIELD \"va\"",
         "failed: va, it, st, os, devmake, ifatype, conntype"],
        ["<img src=x onerror=alert(1)>", "px-shop", "400 PIXEL_UNSUPPORTED_EVENT \"e\"", "passed"],
        ["Lead", "px-unknown", "400 UNREGISTERED_PIXEL_ID \"pi\"", "passed"],
        ["Purchase", "px-shop", "200 ACCEPTED", "passed"]])"));
    EXPECT_TRUE(tab.waitFor("document.querySelector('#summary').textContent === '4 requests'"));
    EXPECT_EQ(tab.evaluate("Object.fromEntries([...document.querySelectorAll('#counts button')]"
                           ".map((b) => [b.firstChild.textContent, b.lastChild.textContent]))"),
              (json{{"Purchase", "2"}, {"Lead", "1"}, {hostile, "1"}}));

    tab.click("#rows tr:last-child");
    EXPECT_EQ(tab.evaluate("[...document.querySelectorAll('#detail h2, #detail pre, #detail td')]"
                           ".slice(0, 8).map((e) => e.textContent)"),
              json::parse(R"(["POST /velto/mob?e=Purchase&pi=px-shop", "200 OK",
                  "e", "Purchase", "pi", "px-shop", "Content-Type", "application/json"])"));
    const std::string body =
        tab.evaluate("document.querySelector('#detail pre:last-of-type').textContent");
    EXPECT_NE(body.find("\n  \"c\": \"USD\",\n"), std::string::npos) << body;  // pretty-printed
    EXPECT_EQ(json::parse(body)["in"], json::array({"</script>"}));

    // Nothing an event carried ran or became an element; nothing came from elsewhere.
    EXPECT_EQ(tab.evaluate("[window.ran.length, document.querySelectorAll('img, #rows script, "
                           "#detail script').length, performance.getEntriesByType('resource')"
                           ".every((e) => e.name.startsWith(location.origin))]"),
              json::array({0, 0, true}));

    const char* target = std::getenv("VELTO_SCREENSHOT");
    std::ofstream(target ? target : VELTO_SCREENSHOT_PATH, std::ios::binary)
        << base64Decode(tab.call("Page.captureScreenshot", {{"format", "png"}})["data"]);

    tab.click("#filter");
    tab.call("Input.insertText", {{"text", "PX-UNK"}});  // the pixel id, any case
    EXPECT_TRUE(
        tab.waitFor("document.querySelector('#summary').textContent === '4 requests, 1 shown'"));
    EXPECT_EQ(tab.evaluate(kShownRows + std::string(".map((cells) => cells[0])")),
              json::array({"Lead"}));

    tab.click("#clear");
    EXPECT_TRUE(tab.waitFor("document.querySelectorAll('#rows tr, #counts button').length === 0"));
}

TEST(CollectorPage, NoPageWithNoUi) {
    Collector collector({VELTO_COLLECTOR_PATH, "--no-ui"});
    const auto [url, page] = urls(collector, false);
    ASSERT_FALSE(url.empty());
    httplib::Client client(page.substr(0, page.size() - 1));
    for (const char* path : {"/", "/api/events", "/api/stream"}) {
        auto answer = client.Get(path);
        EXPECT_TRUE(answer && answer->status == 404) << path;
    }
}

}  // namespace
