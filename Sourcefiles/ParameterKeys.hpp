#pragma once

namespace VeltoSDK {

// The keys under which VeltoParams keeps its five named properties.
inline constexpr const char* kValueKey = "va";
inline constexpr const char* kCurrencyKey = "c";
inline constexpr const char* kItemIdKey = "ii";
inline constexpr const char* kItemTypeKey = "itp";
inline constexpr const char* kItemNameKey = "in";

}  // namespace VeltoSDK
