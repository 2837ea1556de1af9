#include <VeltoSDK/VeltoParams.hpp>

#include "Sourcefiles/ParameterKeys.hpp"

namespace VeltoSDK {
namespace {

std::string lookup(const VeltoParams::Dictionary& map, const char* key) {
    auto found = map.find(key);
    return found == map.end() ? std::string() : found->second;
}

}  // namespace

VeltoParams::VeltoParams(std::optional<std::string> value, std::optional<std::string> currency,
                         std::optional<std::string> itemId, std::optional<std::string> itemType,
                         std::optional<std::string> itemName) {
    if (value) put(kValueKey, std::move(*value));
    if (currency) put(kCurrencyKey, std::move(*currency));
    if (itemId) put(kItemIdKey, std::move(*itemId));
    if (itemType) put(kItemTypeKey, std::move(*itemType));
    if (itemName) put(kItemNameKey, std::move(*itemName));
}

std::string VeltoParams::value() const { return lookup(_veltoParamsDictionary, kValueKey); }
void VeltoParams::setValue(std::string value) { put(kValueKey, std::move(value)); }
std::string VeltoParams::currency() const { return lookup(_veltoParamsDictionary, kCurrencyKey); }
void VeltoParams::setCurrency(std::string currency) { put(kCurrencyKey, std::move(currency)); }
std::string VeltoParams::itemId() const { return lookup(_veltoParamsDictionary, kItemIdKey); }
void VeltoParams::setItemId(std::string itemId) { put(kItemIdKey, std::move(itemId)); }
std::string VeltoParams::itemType() const { return lookup(_veltoParamsDictionary, kItemTypeKey); }
void VeltoParams::setItemType(std::string itemType) { put(kItemTypeKey, std::move(itemType)); }
std::string VeltoParams::itemName() const { return lookup(_veltoParamsDictionary, kItemNameKey); }
void VeltoParams::setItemName(std::string itemName) { put(kItemNameKey, std::move(itemName)); }

void VeltoParams::put(std::string key, std::string value) {
    _veltoParamsDictionary.insert_or_assign(std::move(key), std::move(value));
}

VeltoParams::Dictionary VeltoParams::veltoParamsDictionary() const {
    return _veltoParamsDictionary;
}

}  // namespace VeltoSDK
