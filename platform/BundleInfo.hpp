#pragma once

#include <optional>
#include <string>

namespace VeltoSDK::platform {

// Identity of the host app and of the library.
class BundleInfo {
public:
    virtual ~BundleInfo() = default;
    // The host app's identifier; none unless the host supplied one.
    virtual std::optional<std::string> mainBundleIdentifier() = 0;
    // The library's own short version text; none when it cannot be found.
    virtual std::optional<std::string> libraryShortVersion() = 0;
};

}  // namespace VeltoSDK::platform
