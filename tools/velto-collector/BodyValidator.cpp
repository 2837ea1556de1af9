// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#include "BodyValidator.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

namespace VeltoSDK::collector {
namespace {

using nlohmann::json;

enum class Kind { String, Integer, Boolean, Strings, Custom };

struct KeyRule {
    std::string_view key;
    Kind kind;
    bool alwaysPresent;
};

constexpr std::array kRules{
    KeyRule{"va", Kind::String, false},       KeyRule{"c", Kind::String, false},
    KeyRule{"ii", Kind::Strings, false},      KeyRule{"itp", Kind::Strings, false},
    KeyRule{"in", Kind::Strings, false},      KeyRule{"custom", Kind::Custom, false},
    KeyRule{"et", Kind::Integer, true},       KeyRule{"it", Kind::Integer, true},
    KeyRule{"st", Kind::Integer, true},       KeyRule{"appid", Kind::String, false},
    KeyRule{"v", Kind::String, false},        KeyRule{"lang", Kind::String, false},
    KeyRule{"os", Kind::String, true},        KeyRule{"devmake", Kind::String, true},
    KeyRule{"devmodel", Kind::String, false}, KeyRule{"ifa", Kind::String, false},
    KeyRule{"ifatype", Kind::String, true},   KeyRule{"late", Kind::Boolean, false},
    KeyRule{"conntype", Kind::String, true},  KeyRule{"carrier", Kind::String, false},
    KeyRule{"mcc", Kind::String, false},      KeyRule{"mnc", Kind::String, false},
};

const KeyRule* ruleFor(std::string_view key) {
    auto found = std::find_if(kRules.begin(), kRules.end(),
                              [key](const KeyRule& rule) { return rule.key == key; });
    return found == kRules.end() ? nullptr : &*found;
}

bool isSignedInteger(const json& value) {
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>() <=
               static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    }
    return value.is_number_integer();
}

// The library never writes an empty list: empty values are skipped before splitting.
bool isStrings(const json& value) {
    return value.is_array() && !value.empty() &&
           std::all_of(value.begin(), value.end(),
                       [](const json& item) { return item.is_string(); });
}

bool isCustomEntry(const json& entry) {
    return entry.is_object() && entry.size() == 2 && entry.contains("k") &&
           entry["k"].is_string() && entry.contains("v") && isStrings(entry["v"]);
}

bool hasKind(const json& value, Kind kind) {
    switch (kind) {
        case Kind::String:
            return value.is_string();
        case Kind::Integer:
            return isSignedInteger(value);
        case Kind::Boolean:
            return value.is_boolean();
        case Kind::Strings:
            return isStrings(value);
        case Kind::Custom:
            return value.is_array() && !value.empty() &&
                   std::all_of(value.begin(), value.end(), isCustomEntry);
    }
    return false;
}

}  // namespace

std::vector<std::string> bodyFaults(const json& body) {
    if (!body.is_object()) return {"body"};
    std::vector<std::string> faults;
    for (const auto& [key, value] : body.items()) {
        const KeyRule* rule = ruleFor(key);
        if (rule == nullptr || !hasKind(value, rule->kind)) faults.push_back(key);
    }
    for (const KeyRule& rule : kRules) {
        if (rule.alwaysPresent && !body.contains(rule.key)) faults.emplace_back(rule.key);
    }
    return faults;
}

}  // namespace VeltoSDK::collector
