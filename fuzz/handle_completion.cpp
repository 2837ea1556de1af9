// A status, a body and a transport error from the input: the verdict is always exactly one line,
// and it is the line the table below picks, with what came from outside escaped. The table is
// written out again here, on purpose, independently of the library's code; the escaping is
// checked for what it must give: well-formed UTF-8 and no control character but the last.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Sourcefiles/LogText.hpp"
#include "Sourcefiles/RequestManager.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace {

using namespace VeltoSDK;

struct CapturingOutput final : platform::StandardOutput {
    std::vector<std::string> writes;
    void write(std::string_view text) override { writes.emplace_back(text); }
};

void require(bool condition) {
    if (!condition) std::abort();
}

// Well-formed UTF-8 as Unicode defines it: shortest form, no surrogates, at most U+10FFFF.
bool wellFormedUTF8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char b = s[i];
        int length = b < 0x80                 ? 1
                     : b >= 0xC2 && b <= 0xDF ? 2
                     : b >= 0xE0 && b <= 0xEF ? 3
                     : b >= 0xF0 && b <= 0xF4 ? 4
                                              : 0;
        if (length == 0 || i + length > n) return false;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
        for (int k = 1; k < length; ++k) {
            unsigned char c = s[i + k];
            if (k == 1 ? c < low || c > high : c < 0x80 || c > 0xBF) return false;
        }
        i += length;
    }
    return true;
}

bool has(const std::string& text, const char* marker) {
    return text.find(marker) != std::string::npos;
}

struct Verdict {
    bool info;
    std::string message;
};

Verdict expected(const std::optional<std::string>& data, const platform::URLResponse* response,
                 const platform::TransportError* error) {
    if (error) return {false, "Error: calling Post APi Optional(" + error->debugDescription + ")"};
    if (!response || !response->statusCode) return {false, "Error: Invalid HTTPURLResponse"};
    if (*response->statusCode == 200) return {true, "Data Posted Successfully"};
    if (!data || data->empty()) return {false, "Error: did not receive data"};
    if (!wellFormedUTF8(*data)) return {false, "Error: Failed to parse pixel"};
    const std::string& text = *data;
    if (!has(text, "Failed to parse pixel:")) return {false, "Error: " + text};
    if (has(text, "UNREGISTERED_PIXEL_ID"))
        return {false, "Error: Velto server does not recognize Velto Id"};
    if (has(text, "PIXEL_MISSING_REQUIRED_FIELD") && has(text, "error_string:\"e\""))
        return {false, "Error: Event field is missing"};
    if (has(text, "PIXEL_UNSUPPORTED_EVENT"))
        return {false, "Error: Velto server does not support Event"};
    return {false, "Error: Required field is missing"};
}

CapturingOutput* output = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static CapturingOutput capturing;
    static platform::ScopedPlatform services(
        [](platform::Platform& p) { p.standardOutput = &capturing; });
    output = &capturing;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider input(bytes, size);
    std::optional<platform::TransportError> error;
    if (input.ConsumeBool())
        error = platform::TransportError{input.ConsumeIntegral<long>(),
                                         input.ConsumeRandomLengthString(64)};
    std::optional<platform::URLResponse> response;
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            break;
        case 1:
            response = platform::URLResponse{};
            break;  // not HTTP
        case 2:
            response = platform::URLResponse{200};
            break;
        default:
            response = platform::URLResponse{input.ConsumeIntegralInRange(100, 599)};
    }
    std::optional<std::string> data;
    if (input.ConsumeBool()) data = input.ConsumeRemainingBytesAsString();

    output->writes.clear();
    RequestManager::handleCompletion("Purchase", data, response ? &*response : nullptr,
                                     error ? &*error : nullptr);
    require(output->writes.size() == 1);
    const Verdict verdict =
        expected(data, response ? &*response : nullptr, error ? &*error : nullptr);
    const std::string& line = output->writes[0];
    const std::string tail = "requestForVeltoUnit(eventName:eventParams:) -> " +
                             LogText::escaped(verdict.message) + "\n";
    require(line.size() >= tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0);
    require(has(line, verdict.info ? "[\u2139\uFE0F]" : "[\u203C\uFE0F]"));
    require(wellFormedUTF8(line));
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        require(c >= 0x20 && c != 0x7F);
        require(!(c == 0xC2 && static_cast<unsigned char>(line[i + 1]) < 0xA0));  // C1
    }
    return 0;
}
