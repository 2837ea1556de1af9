#include <string_view>

#include <VeltoSDK/VeltoParams.hpp>

#include "PostBody.hpp"

namespace VeltoSDK {
namespace {

// Cut at every ","; parts keep their blanks and empty parts stay.
PostBody splitList(std::string_view text) {
    PostBody parts = PostBody::array();
    for (;;) {
        size_t comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

PostBody& addEventFields(const VeltoParams* eventParams, PostBody& body) {
    if (!eventParams) return body;
    // A snapshot of the host's object; its values are moved into the body from here.
    VeltoParams::Dictionary pairs = eventParams->veltoParamsDictionary();
    PostBody custom = PostBody::array();
    for (auto& [key, value] : pairs) {
        if (value.empty()) continue;
        if (key == "va" || key == "c") {
            body[key] = std::move(value);
        } else if (key == "ii" || key == "itp" || key == "in") {
            body[key] = splitList(value);
        } else {
            PostBody entry = PostBody::object();
            entry["k"] = key;
            entry["v"] = splitList(value);
            custom.push_back(std::move(entry));
        }
    }
    if (!custom.empty()) body["custom"] = std::move(custom);
    return body;
}

}  // namespace VeltoSDK
