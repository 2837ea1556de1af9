// velto-fire as a user runs it against the collector (its exit status and the summary on
// standard error), then the collector's endpoints and its live page in headless Chromium: rows,
// counts, a request's detail, the filter and Clear, with a hostile event name and body kept as
// text. The run takes the README's screenshot.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "tests/support/Loopback.hpp"

namespace VeltoSDK::testing {
namespace {

using nlohmann::json;

// Runs velto-fire with `args` (shell words); its exit status and standard error.
std::pair<int, std::string> fire(const std::string& args) {
    FILE* pipe =
        popen(("timeout 30 " VELTO_FIRE_PATH " " + args + " 2>&1 >/dev/null").c_str(), "r");
    std::string text;
    char chunk[256];
    for (size_t n; pipe && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// Headless Chromium on its DevTools pipe (commands in on fd 3, answers out on fd 4, each ended
// by a NUL), attached to one page; call() throws when it is not running.
struct Browser {
    TemporaryDirectory profile;
    int ends[2] = {-1, -1}, lastId = 0;
    pid_t pid = -1;
    std::string session, buffer;

    Browser() {
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);  // the child's end stays open across exec
        const std::string end = std::to_string(ends[1]);
        pid = spawn({"/bin/bash", "-c",
                     "exec chromium --headless --no-sandbox --disable-gpu --no-first-run "
                     "--window-size=1280,720 --remote-debugging-pipe --user-data-dir=" +
                         profile.path + " 3<&" + end + " 4>&" + end});
        ::close(ends[1]);
    }
    ~Browser() {
        ::close(ends[0]);
        if (::kill(pid, SIGTERM) == 0) exitCode(pid);
    }
    json call(const std::string& method, const json& params) {
        json command = {{"id", ++lastId}, {"method", method}, {"params", params}};
        if (!session.empty()) command["sessionId"] = session;
        const std::string text = command.dump() + '\0';
        ::send(ends[0], text.data(), text.size(), MSG_NOSIGNAL);
        for (int message = 0; message < 1000; ++message) {
            const auto text = readUntil(ends[0], buffer, '\0', 30s);
            if (!text) throw std::runtime_error("the browser went silent");
            const json answer = json::parse(*text);
            if (answer.value("id", 0) == lastId) return answer.at("result");  // else an event
        }
        throw std::runtime_error(method + " got no answer");
    }
    // What `body`, the body of an async function, returns in the page; until() polls for
    // up to 20 s.
    json run(const std::string& body) {
        const json result = call("Runtime.evaluate", {{"expression", R"((async () => {
            const $ = (s) => document.querySelector(s);
            const $$ = (s, from = document) => [...from.querySelectorAll(s)].map((e) => e.textContent);
            const until = async (f) => {
              for (let i = 0; i < 400 && !f(); ++i) await new Promise((r) => setTimeout(r, 50));
            };)" + body + "})()"},
                                                      {"returnByValue", true},
                                                      {"awaitPromise", true}});
        if (result.contains("exceptionDetails")) ADD_FAILURE() << result["exceptionDetails"];
        return result["result"]["value"];
    }
};

TEST(VeltoFire, ExitStatusSummaryAndTheCollectorsPage) {
    ChildProcess collector({VELTO_COLLECTOR_PATH, "--pixel", "px-fire"});
    const std::string url = collector.start(), page = url.substr(0, url.find("velto/mob?"));
    ASSERT_NE(url, "");
    LoopbackServer silent;  // takes the connection, never answers
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--pixel-id px-fire --count 2 --value 25 --currency USD --item-name '</script>' Purchase",
         0, "2 events: 2 accepted\n"},
        {"--pixel-id px-other Lead", 3, "1 event: 0 accepted, 1 refused (UNREGISTERED_PIXEL_ID)\n"},
        // The library sends the name unchanged, so it arrives percent-decoded.
        {"--pixel-id px-fire '%3Cimg%20src%3Dx%20onerror%3Dalert(1)%3E'", 3,
         "1 event: 0 accepted, 1 refused (PIXEL_UNSUPPORTED_EVENT)\n"},
        // A padded id makes a URL that does not parse.
        {"--pixel-id ' px-fire ' Purchase", 1, "1 event: 0 accepted, 1 not handed over\n"},
        {"--pixel-id px-fire --count 0 Purchase", 2, "velto-fire: --count needs"},  // then usage
        // The flush gives up after its timeout: not every event completed.
        {"--base-url " + silent.url() + " --pixel-id px-fire --timeout 0.3 Purchase", 1,
         "1 event: 0 accepted, 1 unanswered\n"},
    };
    for (const auto& [args, status, summary] : cases) {
        const auto [exitStatus, errors] = fire("--base-url '" + url + "' " + args);
        EXPECT_EQ(exitStatus, status) << args;
        EXPECT_EQ(status == 2 ? errors.substr(0, summary.size()) : errors, summary) << args;
    }
    httplib::Client client(page.substr(0, page.size() - 1));
    // A body the library would never send: the page names the members that failed.
    client.Post("/velto/mob?e=Purchase&pi=px-fire", {{"Accept", "application/json"}},
                R"({"va": 25, "et": 1})", "application/json");
    auto events = client.Get("/api/events");
    ASSERT_TRUE(events && events->status == 200);
    EXPECT_EQ(json::parse(events->body)["records"].size(), 5u);
    auto rebound = client.Get("/api/events", {{"Host", "tracker.example:80"}});
    EXPECT_TRUE(rebound && rebound->status == 403);
    // A stream that reconnects resumes after the last id of this run; another run's starts over.
    auto stream = [&](const std::string& lastId) {
        std::string text;
        client.Get("/api/stream", {{"Last-Event-ID", lastId}}, [&](const char* data, size_t n) {
            text.append(data, n);
            return text.find("\n\n", text.find("-5\ndata: ")) == std::string::npos;
        });
        return text;
    };
    const std::string all = stream("1-3"), id = all.substr(all.find("id: ") + 4);
    const std::string run = id.substr(0, id.find("-1\n")), resumed = stream(run + "-3");
    EXPECT_EQ(resumed.find("-3\n"), std::string::npos);
    EXPECT_NE(resumed.find("id: " + run + "-4\ndata: {\"dropped\":0,\"record\":{\"id\":4,"),
              std::string::npos);
    ChildProcess noUi({VELTO_COLLECTOR_PATH, "--no-ui"});
    const std::string noUiUrl = noUi.start();
    auto noPage = httplib::Client(noUiUrl.substr(0, noUiUrl.find("/velto"))).Get("/");
    EXPECT_TRUE(noPage && noPage->status == 404);

    Browser browser;
    try {
        const json target = browser.call("Target.createTarget", {{"url", "about:blank"}});
        browser.session = browser.call("Target.attachToTarget", {{"targetId", target["targetId"]},
                                                                 {"flatten", true}})["sessionId"];
        browser.call("Page.navigate", {{"url", page}});  // returns with the page's document
    } catch (const std::exception& e) {
        GTEST_SKIP() << "Chromium (the chromium package) cannot start here: " << e.what();
    }
    const json shown = browser.run(R"(
        await until(() => $('#summary')?.textContent === '5 requests');
        $('#rows tr:last-child').click();
        const shown = [[...document.querySelectorAll('#rows tr')].map((r) => $$('td', r).slice(1)),
                $$('#counts button'), $$('#detail h2, #detail pre'),
                document.querySelectorAll('img, #rows script, #detail script').length];
        return shown;)");
    EXPECT_EQ(shown[0], json::parse(R"([
        ["Purchase", "px-fire", "400 PIXEL_MISSING_REQUIRED_FIELD \"va\"",
         "failed: va, it, st, os, devmake, ifatype, conntype"],
        ["<img src=x onerror=alert(1)>", "px-fire", "400 PIXEL_UNSUPPORTED_EVENT \"e\"", "passed"],
        ["Lead", "px-other", "400 UNREGISTERED_PIXEL_ID \"pi\"", "passed"],
        ["Purchase", "px-fire", "200 ACCEPTED", "passed"],
        ["Purchase", "px-fire", "200 ACCEPTED", "passed"]])"));
    EXPECT_EQ(shown[1], json({"Purchase3", "<img src=x onerror=alert(1)>1", "Lead1"}));
    EXPECT_EQ(json({shown[2][0], shown[2][1]}),
              json({"POST /velto/mob?e=Purchase&pi=px-fire", "200 OK"}));
    const std::string body = shown[2][2];
    EXPECT_NE(body.find("\n  \"c\": \"USD\",\n"), std::string::npos) << body;  // pretty-printed
    EXPECT_EQ(json::parse(body)["in"], json::array({"</script>"}));
    EXPECT_EQ(shown[3], 0) << "an event's text became an element";

    const std::string png = browser.call("Page.captureScreenshot", json::object())["data"];
    const char* target = std::getenv("VELTO_SCREENSHOT");  // written by coreutils' decoder
    const std::string decode =
        "base64 -d >'" + std::string(target ? target : VELTO_SCREENSHOT_PATH);
    FILE* file = popen((decode + "'").c_str(), "w");
    ASSERT_TRUE(file);
    fwrite(png.data(), 1, png.size(), file);
    EXPECT_EQ(pclose(file), 0);

    EXPECT_EQ(browser.run(R"(
        $('#filter').value = 'PX-OTH';  // the pixel id, any case
        $('#filter').dispatchEvent(new Event('input'));
        await until(() => $('#summary').textContent.endsWith('shown'));
        const filtered = [$('#summary').textContent, [...document.querySelectorAll('#rows tr')]
            .filter((r) => !r.hidden).map((r) => r.cells[1].textContent)];
        $('#clear').click();
        await until(() => !document.querySelector('#rows tr, #counts button'));
        return [...filtered, document.querySelectorAll('#rows tr, #counts button').length];)"),
              json::parse(R"(["5 requests, 1 shown", ["Lead"], 0])"));
}

}  // namespace
}  // namespace VeltoSDK::testing
