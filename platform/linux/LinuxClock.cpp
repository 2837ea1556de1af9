#include <chrono>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

class SystemClock final : public Clock {
public:
    double secondsSince1970() override {
        using namespace std::chrono;
        auto sinceEpoch = system_clock::now().time_since_epoch();
        return duration_cast<duration<double>>(sinceEpoch).count();
    }
};

}  // namespace

Clock& clock() {
    static SystemClock* instance = new SystemClock;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
