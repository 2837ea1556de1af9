#include <VeltoSDK/VeltoParams.hpp>

namespace VeltoSDK {
namespace {

constexpr const char* kValue = "va";
constexpr const char* kCurrency = "c";
constexpr const char* kItemId = "ii";
constexpr const char* kItemType = "itp";
constexpr const char* kItemName = "in";

std::string lookup(const VeltoParams::Dictionary& map, const char* key) {
    auto found = map.find(key);
    return found == map.end() ? std::string() : found->second;
}

}  // namespace

VeltoParams::VeltoParams(std::optional<std::string> value, std::optional<std::string> currency,
                         std::optional<std::string> itemId, std::optional<std::string> itemType,
                         std::optional<std::string> itemName) {
    if (value) put(kValue, std::move(*value));
    if (currency) put(kCurrency, std::move(*currency));
    if (itemId) put(kItemId, std::move(*itemId));
    if (itemType) put(kItemType, std::move(*itemType));
    if (itemName) put(kItemName, std::move(*itemName));
}

std::string VeltoParams::value() const { return lookup(_veltoParamsDictionary, kValue); }
void VeltoParams::setValue(std::string value) { put(kValue, std::move(value)); }
std::string VeltoParams::currency() const { return lookup(_veltoParamsDictionary, kCurrency); }
void VeltoParams::setCurrency(std::string currency) { put(kCurrency, std::move(currency)); }
std::string VeltoParams::itemId() const { return lookup(_veltoParamsDictionary, kItemId); }
void VeltoParams::setItemId(std::string itemId) { put(kItemId, std::move(itemId)); }
std::string VeltoParams::itemType() const { return lookup(_veltoParamsDictionary, kItemType); }
void VeltoParams::setItemType(std::string itemType) { put(kItemType, std::move(itemType)); }
std::string VeltoParams::itemName() const { return lookup(_veltoParamsDictionary, kItemName); }
void VeltoParams::setItemName(std::string itemName) { put(kItemName, std::move(itemName)); }

void VeltoParams::put(std::string key, std::string value) {
    _veltoParamsDictionary.insert_or_assign(std::move(key), std::move(value));
}

VeltoParams::Dictionary VeltoParams::veltoParamsDictionary() const {
    return _veltoParamsDictionary;
}

}  // namespace VeltoSDK
