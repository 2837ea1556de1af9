#pragma once

#include <curl/curl.h>

#include <memory>

namespace VeltoSDK::platform {

struct CurlUrlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

// A parsed URL handle of libcurl, freed with it.
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

}  // namespace VeltoSDK::platform
