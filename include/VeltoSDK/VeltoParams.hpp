/// @file
/// The parameters of one event: VeltoSDK::VeltoParams.
#pragma once

#include <map>
#include <optional>
#include <string>

#include <VeltoSDK/export.h>

namespace VeltoSDK {

/// The parameters of one event: five named properties and any number of free pairs, all text.
/// The named properties are views on fixed keys of the one map ("va", "c", "ii", "itp", "in").
/// Lists travel as one text joined by ","; the library splits them when it builds the request.
///
/// Texts are stored as given: no trimming and no check of form. An empty value is stored, but
/// the request leaves its key out. No operation removes a key. Bytes that are not UTF-8 go
/// out as U+FFFD. The object has no lock: use it from one thread at a
/// time. The library reads it only during Velto::fireEvent(), so it may be changed or reused
/// once that returns.
class VELTOSDK_API VeltoParams {
public:
    /// The map of all pairs, named and free: key to value.
    using Dictionary = std::map<std::string, std::string>;

    /// An object without parameters.
    VeltoParams() = default;
    /// An object with the five named properties. An absent argument leaves its key out; a
    /// present one is stored even when empty.
    VeltoParams(std::optional<std::string> value, std::optional<std::string> currency,
                std::optional<std::string> itemId, std::optional<std::string> itemType,
                std::optional<std::string> itemName);

    /// The event's value ("va", sent as a JSON string); "" when absent.
    std::string value() const;
    /// Stores the event's value, replacing any earlier one.
    void setValue(std::string value);
    /// The currency of the value ("c", sent whole, never split); "" when absent.
    std::string currency() const;
    /// Stores the currency, replacing any earlier one.
    void setCurrency(std::string currency);
    /// The item id, or several joined by "," ("ii", sent as an array); "" when absent.
    std::string itemId() const;
    /// Stores the item id or ids, replacing any earlier ones.
    void setItemId(std::string itemId);
    /// The item type, or several joined by "," ("itp", sent as an array); "" when absent.
    std::string itemType() const;
    /// Stores the item type or types, replacing any earlier ones.
    void setItemType(std::string itemType);
    /// The item name, or several joined by "," ("in", sent as an array); "" when absent.
    std::string itemName() const;
    /// Stores the item name or names, replacing any earlier ones.
    void setItemName(std::string itemName);

    /// Stores a free pair, replacing any earlier value of the key. A key of a named property
    /// ("va", "c", "ii", "itp", "in") sets that property; every other key, the empty one
    /// included, travels in "custom" with its value split at ",".
    void put(std::string key, std::string value);

    /// A snapshot: later changes on either side do not reach the other.
    Dictionary veltoParamsDictionary() const;

private:
    friend class VeltoParamsReader;  // the library reads the pairs in place for each event
    Dictionary _veltoParamsDictionary;
};

}  // namespace VeltoSDK
