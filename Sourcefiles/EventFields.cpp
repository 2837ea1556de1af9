#include <string_view>

#include "Sourcefiles/BodySteps.hpp"
#include "Sourcefiles/ParameterKeys.hpp"
#include "Sourcefiles/VeltoParamsReader.hpp"

namespace VeltoSDK {
namespace {

bool isNamedText(std::string_view key) { return key == kValueKey || key == kCurrencyKey; }
bool isNamedList(std::string_view key) {
    return key == kItemIdKey || key == kItemTypeKey || key == kItemNameKey;
}

}  // namespace

void addEventFields(const VeltoParams* eventParams, PostBody& body) {
    if (!eventParams) return;
    // Read in place: the host's object is not changed while the event fires.
    const VeltoParams::Dictionary& pairs = VeltoParamsReader::pairs(*eventParams);
    bool anyCustom = false;
    for (const auto& [key, value] : pairs) {
        if (value.empty()) continue;
        if (isNamedText(key)) {
            body.addText(key, value);
        } else if (isNamedList(key)) {
            body.addList(key, value);
        } else {
            anyCustom = true;
        }
    }
    if (!anyCustom) return;
    body.beginCustom();
    for (const auto& [key, value] : pairs) {
        if (!value.empty() && !isNamedText(key) && !isNamedList(key)) body.addCustom(key, value);
    }
    body.endCustom();
}

}  // namespace VeltoSDK
