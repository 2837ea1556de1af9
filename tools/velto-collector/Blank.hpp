// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#pragma once

#include <string_view>

namespace VeltoSDK::collector {

// Empty, or every user-perceived character starts with a White_Space code point. Text that is
// not well-formed UTF-8 (overlong forms, surrogates, cut sequences) is never blank.
bool isBlank(std::string_view text);

}  // namespace VeltoSDK::collector
