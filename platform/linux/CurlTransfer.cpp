#include "platform/linux/CurlTransfer.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kPooledHandles = 16;
// Connecting (with the TLS handshake) may take this long at most, whatever the deadline.
constexpr long kMaxConnectTimeoutMs = 30'000;
// Used when a request carries no usable timeout.
constexpr milliseconds kDefaultTimeout{60'000};
constexpr milliseconds kLongestTimeout{7LL * 24 * 3600 * 1000};  // curl keeps ms in a long
constexpr const char* kUserAgent = "VeltoSDK/" VELTOSDK_VERSION_TEXT;

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) ||
               std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

// A header value must not smuggle in another header or a second request.
bool isSafeValue(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

curl_slist* append(curl_slist* list, const std::string& line, bool& ok) {
    curl_slist* longer = curl_slist_append(list, line.c_str());
    if (!longer) ok = false;
    return longer ? longer : list;
}

}  // namespace

std::string describeTransportError(long code, std::string_view detail, std::string_view host) {
    std::string text = "curl error " + std::to_string(code);
    if (code >= 0 && code < CURL_LAST) {
        text += " (";
        text += curl_easy_strerror(static_cast<CURLcode>(code));
        text += ")";
    }
    if (!host.empty()) text.append(" for host ").append(host);
    if (!detail.empty()) text.append(": ").append(detail);
    // One line, whatever curl's error buffer held.
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }, ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

SteadyClock::time_point deadlineFor(double seconds) {
    milliseconds timeout = kDefaultTimeout;
    if (std::isfinite(seconds) && seconds > 0) {
        double ms = std::min(seconds * 1000.0, static_cast<double>(kLongestTimeout.count()));
        timeout = milliseconds(std::max<long long>(1, std::llround(ms)));
    }
    return SteadyClock::now() + timeout;
}

TransferResult failure(long code, std::string_view detail, std::string_view host) {
    TransferResult result;
    result.error = TransportError{code, describeTransportError(code, detail, host)};
    return result;
}

EasyHandlePool::~EasyHandlePool() {
    for (const Idle& idle : idle_) curl_easy_cleanup(idle.easy);
}

CURL* EasyHandlePool::acquire(const HandleShape& shape, bool& configured) {
    configured = false;
    if (idle_.empty()) return curl_easy_init();
    auto same = std::find_if(idle_.rbegin(), idle_.rend(),
                             [&](const Idle& idle) { return idle.shape == shape; });
    auto chosen = same != idle_.rend() ? same.base() - 1 : idle_.end() - 1;
    CURL* easy = chosen->easy;
    if (chosen->shape == shape)
        configured = true;
    else
        curl_easy_reset(easy);
    idle_.erase(chosen);
    return easy;
}

void EasyHandlePool::release(CURL* easy, std::optional<HandleShape> shape) {
    if (!easy) return;
    if (idle_.size() >= kPooledHandles) {
        curl_easy_cleanup(easy);
        return;
    }
    if (!shape) curl_easy_reset(easy);
    idle_.push_back({easy, std::move(shape)});
}

std::shared_ptr<curl_slist> HeaderListCache::listFor(const HttpRequest& request) {
    const auto& fields = request.allHTTPHeaderFields();
    bool hasBody = !request.httpBody().empty();
    if (list_ && fields == fields_ && hasBody == hasBody_) return list_;
    curl_slist* list = nullptr;
    bool ok = true;
    bool hasContentType = false;
    for (const auto& [name, value] : fields) {
        if (!isToken(name) || !isSafeValue(value)) continue;
        hasContentType = hasContentType || equalsIgnoringCase(name, "Content-Type");
        // "Name;" is how curl sends a header with an empty value.
        list = append(list, value.empty() ? name + ";" : name + ": " + value, ok);
    }
    // A POST body waits for no "100 Continue": that costs a round trip.
    list = append(list, "Expect:", ok);
    // Without this, curl would label a body as a form.
    if (!hasContentType && hasBody) list = append(list, "Content-Type:", ok);
    if (!ok) {
        curl_slist_free_all(list);
        return nullptr;
    }
    list_ = std::shared_ptr<curl_slist>(list, curl_slist_free_all);
    fields_ = fields;
    hasBody_ = hasBody;
    return list_;
}

CurlTransfer::CurlTransfer(std::unique_ptr<CurlTask> task, std::string host,
                           const std::string& caBundle, EasyHandlePool& pool,
                           HeaderListCache& headerLists)
    : task_(std::move(task)),
      host_(std::move(host)),
      caBundle_(caBundle),
      pool_(pool),
      headerLists_(headerLists) {}

CurlTransfer::~CurlTransfer() {
    if (multi_) curl_multi_remove_handle(multi_, easy_);
    pool_.release(easy_, std::move(shape_));
}

std::optional<TransferResult> CurlTransfer::start(CURLM* multi, SteadyClock::time_point now) {
    const HttpRequest& request = task_->request;
    if (!isToken(request.httpMethod())) {
        return failure(CURLE_BAD_FUNCTION_ARGUMENT, "invalid HTTP method", host_);
    }
    auto timeLeft = std::chrono::duration_cast<milliseconds>(task_->deadline - now);
    if (timeLeft.count() <= 0) return failure(CURLE_OPERATION_TIMEDOUT, "deadline passed", host_);
    if (!configure(timeLeft)) return failure(CURLE_OUT_OF_MEMORY, "", host_);
    CURLMcode added = curl_multi_add_handle(multi, easy_);
    if (added != CURLM_OK) return failure(CURLE_FAILED_INIT, curl_multi_strerror(added), host_);
    multi_ = multi;
    return std::nullopt;
}

bool CurlTransfer::configure(milliseconds timeLeft) {
    const HttpRequest& request = task_->request;
    const std::string& method = request.httpMethod();
    const std::string& body = request.httpBody();
    HandleShape shape{method, !body.empty(), equalsIgnoringCase(request.url().scheme(), "https")};
    bool configured = false;
    easy_ = pool_.acquire(shape, configured);
    headers_ = headerLists_.listFor(request);
    if (!easy_ || !headers_) return false;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        if (curl_easy_setopt(easy_, option, value) != CURLE_OK) ok = false;
    };

    if (!configured) {
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        set(CURLOPT_NOSIGNAL, 1L);
        set(CURLOPT_USERAGENT, kUserAgent);
        set(CURLOPT_SSL_VERIFYPEER, 1L);
        set(CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caBundle_.empty()) set(CURLOPT_CAINFO, caBundle_.c_str());
        set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
        // Over TLS, wait to learn whether the first connection multiplexes before opening more.
        if (shape.https) set(CURLOPT_PIPEWAIT, 1L);
        set(CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
        set(CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
        set(CURLOPT_CONNECTTIMEOUT_MS, kMaxConnectTimeoutMs);
        // curl drops a connection idle for more than this many whole seconds.
        set(CURLOPT_MAXAGE_CONN, kConnectionIdleLimitSeconds - 1);
        set(CURLOPT_PREREQFUNCTION, &CurlTransfer::onPrerequest);
        if (method == "HEAD") {
            set(CURLOPT_NOBODY, 1L);
        } else if (shape.hasBody || method == "POST" ? method != "POST" : method != "GET") {
            set(CURLOPT_CUSTOMREQUEST, method.c_str());  // curl keeps a copy
        }
    }

    // This transfer's own options.
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    set(CURLOPT_URL, request.url().absoluteString().c_str());
    set(CURLOPT_ERRORBUFFER, errorBuffer_);
    // Counted from resume(), however slowly the server trickles its answer.
    set(CURLOPT_TIMEOUT_MS, static_cast<long>(timeLeft.count()));
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_PREREQDATA, static_cast<void*>(this));
    if (method != "HEAD" && (!body.empty() || method == "POST")) {
        // The body stays in the task, which outlives the transfer: no copy.
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        set(CURLOPT_POSTFIELDS, body.data());
    }
    set(CURLOPT_HTTPHEADER, headers_.get());
    if (ok) shape_ = std::move(shape);
    return ok;
}

TransferResult CurlTransfer::finish(CURLcode code) {
    if (resendRefused_) {
        return failure(CURLE_GOT_NOTHING,
                       "the connection closed before any answer; the request is not sent "
                       "again, as the server may have received it",
                       host_);
    }
    // Ended by onBody at the cap: the answer is complete as far as it is read.
    if (code != CURLE_OK && !(truncated_ && code == CURLE_WRITE_ERROR))
        return failure(code, errorBuffer_, host_);

    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    // curl reports a response cut off inside its headers as complete; it is not.
    if (status > 0 && !headersEnded_)
        return failure(CURLE_RECV_ERROR, "connection closed inside the response headers", host_);
    TransferResult result;
    if (truncated_) {
        // Cut before a character that the cap would split, so that text stays text.
        std::size_t keep = kMaxResponseBytes;
        while (keep + 3 > kMaxResponseBytes &&
               (static_cast<unsigned char>(body_[keep]) & 0xC0) == 0x80)
            --keep;
        body_.resize(keep);
        body_ += kTruncationMark;
    }
    result.data = std::move(body_);
    result.response =
        URLResponse{status > 0 ? std::optional<int>(static_cast<int>(status)) : std::nullopt};
    return result;
}

std::size_t CurlTransfer::onBody(char* bytes, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    std::size_t length = size * count;
    if (transfer.status_ == 200) return length;  // accepted: the body says nothing more
    // One byte past the cap tells where a character that the cap splits begins.
    std::size_t room = kMaxResponseBytes + 1 - transfer.body_.size();
    try {
        transfer.body_.append(bytes, std::min(length, room));
    } catch (...) {
        return 0;
    }
    if (length < room) return length;
    transfer.truncated_ = true;
    return 0;  // anything short of `length` ends the transfer
}

std::size_t CurlTransfer::onHeader(char* bytes, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    std::string_view line(bytes, size * count);
    if (line.starts_with("HTTP/")) {
        // Interim responses come before the final one. "HTTP/1.1 200 OK", "HTTP/2 200".
        transfer.headersEnded_ = false;
        std::size_t space = line.find(' ');
        std::string_view code = space == line.npos ? "" : line.substr(space + 1, 3);
        transfer.status_ = 0;
        for (char c : code) {
            if (c < '0' || c > '9') break;
            transfer.status_ = transfer.status_ * 10 + (c - '0');
        }
    } else if (line == "\r\n" || line == "\n") {
        transfer.headersEnded_ = true;
    }
    return size * count;
}

// Runs before each attempt at sending the request. curl makes another attempt by itself when
// a connection it reused dies before any answer byte, which may be after the server has read
// the whole request: that attempt is refused, so the server never gets the request twice. A
// connection found dead before the first attempt is not reused at all: the request then goes
// out, once, on a fresh one.
int CurlTransfer::onPrerequest(void* self, char*, char*, int, int) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    if (transfer.attempts_++ == 0) return CURL_PREREQFUNC_OK;
    transfer.resendRefused_ = true;
    return CURL_PREREQFUNC_ABORT;
}

}  // namespace VeltoSDK::platform::linux_os
