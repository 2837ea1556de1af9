// An event name, a pixel id and parameters from the input: building the request never crashes,
// and a request that is built carries a JSON body from which every value comes back whole (with
// U+FFFD for bytes that are not UTF-8).
#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <VeltoSDK/Velto.hpp>
#include <VeltoSDK/VeltoParams.hpp>

#include <cstdlib>

#include "Sourcefiles/RequestBuilder.hpp"
#include "Sourcefiles/UTF8.hpp"
#include "Sourcefiles/VeltoSettings.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace {

using nlohmann::json;
using namespace VeltoSDK;

struct NullOutput final : platform::StandardOutput {
    void write(std::string_view) override {}
};

void require(bool condition) {
    if (!condition) std::abort();
}

std::string rejoin(const json& parts) {
    require(parts.is_array() && !parts.empty());
    std::string text = parts[0].get<std::string>();
    for (size_t i = 1; i < parts.size(); ++i) text += "," + parts[i].get<std::string>();
    return text;
}

// Two keys that are not UTF-8 may repair to the same text, so any entry of that name will do.
bool hasCustomEntry(const json& body, const std::string& key, const std::string& value) {
    if (!body.contains("custom")) return false;
    for (const json& entry : body["custom"])
        if (entry["k"] == key && rejoin(entry["v"]) == value) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static NullOutput output;
    static platform::ScopedPlatform services(
        [](platform::Platform& p) { p.standardOutput = &output; });
    Velto::shared().setBaseURL("http://127.0.0.1:9/velto/mob?");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNamedKeys[] = {"va", "c", "ii", "itp", "in"};
    FuzzedDataProvider input(data, size);
    const std::string eventName = input.ConsumeRandomLengthString(64);
    VeltoSettings::shared().setup(input.ConsumeRandomLengthString(64));
    const bool withParams = input.ConsumeBool();
    VeltoParams params;
    for (int n = input.ConsumeIntegralInRange(0, 8); n > 0; --n) {
        std::string key = input.ConsumeBool() ? kNamedKeys[input.ConsumeIntegralInRange(0, 4)]
                                              : input.ConsumeRandomLengthString(16);
        params.put(std::move(key), input.ConsumeRandomLengthString(64));
    }

    auto request = RequestBuilder().buildVeltoRequest(eventName, withParams ? &params : nullptr);
    if (!request) return 0;
    const json body = json::parse(request->httpBody());  // throws, and so fails, when broken
    require(body.is_object());
    if (!withParams) return 0;
    for (const auto& [key, raw] : params.veltoParamsDictionary()) {
        if (raw.empty()) continue;                    // empty values are left out
        const std::string value = repairedUTF8(raw);  // text that is not UTF-8 gets U+FFFD
        if (key == "va" || key == "c") {
            require(body.at(key) == value);
        } else if (key == "ii" || key == "itp" || key == "in") {
            require(rejoin(body.at(key)) == value);
        } else {
            require(hasCustomEntry(body, repairedUTF8(key), value));
        }
    }
    return 0;
}
