#pragma once

#include <map>
#include <optional>
#include <string>

#include <VeltoSDK/export.h>

namespace VeltoSDK {

// The parameters of one event: five named properties and any number of free pairs, all text.
// The named properties are views on fixed keys of the one map ("va", "c", "ii", "itp", "in").
// Lists travel as one text joined by ","; the library splits them when it builds the request.
class VELTOSDK_API VeltoParams {
public:
    using Dictionary = std::map<std::string, std::string>;

    VeltoParams() = default;
    // An absent argument leaves its key out; a present one is stored even when empty.
    VeltoParams(std::optional<std::string> value, std::optional<std::string> currency,
                std::optional<std::string> itemId, std::optional<std::string> itemType,
                std::optional<std::string> itemName);

    std::string value() const;
    void setValue(std::string value);
    std::string currency() const;
    void setCurrency(std::string currency);
    std::string itemId() const;
    void setItemId(std::string itemId);
    std::string itemType() const;
    void setItemType(std::string itemType);
    std::string itemName() const;
    void setItemName(std::string itemName);

    void put(std::string key, std::string value);

    // A snapshot: later changes on either side do not reach the other.
    Dictionary veltoParamsDictionary() const;

private:
    Dictionary _veltoParamsDictionary;
};

}  // namespace VeltoSDK
