// Part of the reference collector, an independent check of what the library sends. It shares
// no code with the library on purpose: a fault copied into both would agree with itself.
#pragma once

#include <string_view>

namespace VeltoSDK::collector {

// The live page: one HTML file with its style and script, built in from page.html.
std::string_view pageHtml();

}  // namespace VeltoSDK::collector
