#pragma once

#include <VeltoSDK/VeltoParams.hpp>

namespace VeltoSDK {

// Lets the library read an event's pairs in place while it builds the request. The object has
// no lock, so a copy would protect nothing: the host must not change it during fireEvent.
class VeltoParamsReader {
public:
    static const VeltoParams::Dictionary& pairs(const VeltoParams& params) {
        return params._veltoParamsDictionary;
    }
};

}  // namespace VeltoSDK
