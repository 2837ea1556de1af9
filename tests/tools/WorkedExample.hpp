#pragma once

#include <nlohmann/json.hpp>

// A body as the library sends it for a purchase with value, currency, two item ids and one
// free pair, on Wi-Fi, without a carrier.
inline nlohmann::json workedExampleBody() {
    return nlohmann::json::parse(R"({
        "va": "25", "c": "USD", "ii": ["A1", "B2"],
        "custom": [{"k": "color", "v": ["red", "blue"]}],
        "et": 1700000000123, "it": 1700000000000, "st": 1700000000050,
        "appid": "com.example.shop", "v": "1.0", "lang": "en",
        "os": "iOS 17.1", "devmake": "Apple", "devmodel": "x86_64",
        "ifa": "6D92078A-8246-4BA4-AE5B-76104861E7DC", "ifatype": "IDFA",
        "late": false, "conntype": "wifi"
    })");
}
