#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// A Linux process has no bundle: the host app names itself through HostInfo, and the library
// knows its own version from the build.
class LinuxBundleInfo final : public BundleInfo {
public:
    std::optional<std::string> mainBundleIdentifier() override { return std::nullopt; }
    std::optional<std::string> libraryShortVersion() override { return VELTOSDK_VERSION_TEXT; }
};

}  // namespace

BundleInfo& bundleInfo() {
    static LinuxBundleInfo* instance = new LinuxBundleInfo;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
