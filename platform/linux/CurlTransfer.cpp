#include "platform/linux/CurlTransfer.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/linux/CurlHttpClient.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kPooledHandles = 16;
// Connecting (with the TLS handshake) may take this long at most, whatever the idle timeout.
constexpr milliseconds kMaxConnectTimeout{30'000};
// Used when a request carries no usable timeout.
constexpr milliseconds kDefaultIdleTimeout{60'000};
constexpr const char* kUserAgent = "VeltoSDK/" VELTOSDK_VERSION_TEXT;

milliseconds idleTimeoutOf(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return kDefaultIdleTimeout;
    double ms = std::min(seconds * 1000.0, 7.0 * 24 * 3600 * 1000);  // curl keeps ms in a long
    return milliseconds(std::max<long long>(1, std::llround(ms)));
}

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

std::optional<TransferResult> CurlTransfer::start(CURLM* multi) {
    const HttpRequest& request = task_->request;
    if (!isToken(request.httpMethod())) {
        return failure(CURLE_BAD_FUNCTION_ARGUMENT, "invalid HTTP method", host_);
    }
    if (!configure()) return failure(CURLE_OUT_OF_MEMORY, "", host_);
    lastActivity_ = SteadyClock::now();
    CURLMcode added = curl_multi_add_handle(multi, easy_);
    if (added != CURLM_OK) return failure(CURLE_FAILED_INIT, curl_multi_strerror(added), host_);
    multi_ = multi;
    return std::nullopt;
}

bool CurlTransfer::configure() {
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
        set(CURLOPT_NOPROGRESS, 0L);
        set(CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
        set(CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
        set(CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
        set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
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
    idleTimeout_ = idleTimeoutOf(request.timeoutInterval());
    set(CURLOPT_CONNECTTIMEOUT_MS,
        static_cast<long>(std::min(idleTimeout_, kMaxConnectTimeout).count()));
    set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
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
    if (abort_ == Abort::idle) {
        return failure(CURLE_OPERATION_TIMEDOUT,
                       "no data moved for " + std::to_string(idleTimeout_.count()) + " ms", host_);
    }
    if (abort_ == Abort::tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        return failure(CURLE_FILESIZE_EXCEEDED,
                       "response body exceeds " + std::to_string(kMaxResponseBytes) + " bytes",
                       host_);
    }
    if (code != CURLE_OK) return failure(code, errorBuffer_, host_);

    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    // curl reports a response cut off inside its headers as complete; it is not.
    if (status > 0 && !headersEnded_)
        return failure(CURLE_RECV_ERROR, "connection closed inside the response headers", host_);
    TransferResult result;
    result.data = std::move(body_);
    result.response =
        URLResponse{status > 0 ? std::optional<int>(static_cast<int>(status)) : std::nullopt};
    return result;
}

std::size_t CurlTransfer::onBody(char* bytes, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    std::size_t length = size * count;
    if (length > kMaxResponseBytes - transfer.body_.size()) {
        transfer.abort_ = Abort::tooLarge;
        return 0;  // anything short of `length` ends the transfer
    }
    try {
        transfer.body_.append(bytes, length);
    } catch (...) {
        return 0;
    }
    return length;
}

std::size_t CurlTransfer::onHeader(char* bytes, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    std::string_view line(bytes, size * count);
    transfer.headerBytes_ += static_cast<curl_off_t>(line.size());
    if (line.starts_with("HTTP/"))
        transfer.headersEnded_ = false;  // interim responses come before the final one
    else if (line == "\r\n" || line == "\n")
        transfer.headersEnded_ = true;
    return size * count;
}

int CurlTransfer::onProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                             curl_off_t uploaded) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    auto now = SteadyClock::now();
    // curl counts body bytes only; header lines that keep coming are activity too.
    curl_off_t moved = downloaded + uploaded + transfer.headerBytes_;
    if (moved != transfer.bytesMoved_) {
        transfer.bytesMoved_ = moved;
        transfer.lastActivity_ = now;
        return 0;
    }
    if (now - transfer.lastActivity_ < transfer.idleTimeout_) return 0;
    transfer.abort_ = Abort::idle;
    return 1;
}

}  // namespace VeltoSDK::platform::linux_os
