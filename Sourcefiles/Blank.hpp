#pragma once

#include <string_view>

namespace VeltoSDK {

// True when `text` is empty or every user-perceived character starts with a White_Space code
// point. Invalid UTF-8 is never blank.
bool isBlank(std::string_view text);

}  // namespace VeltoSDK
