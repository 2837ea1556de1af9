#pragma once

#include <optional>
#include <string>

namespace VeltoSDK::platform {

// The user's current locale and the system's current time zone.
class LocaleInfo {
public:
    virtual ~LocaleInfo() = default;
    // ICU locale name, e.g. "en_US".
    virtual std::string localeName() = 0;
    // Olson time-zone id, e.g. "Europe/Berlin".
    virtual std::string timeZoneId() = 0;
    // The locale's language code; none when the locale has no language.
    virtual std::optional<std::string> languageCode() = 0;
};

}  // namespace VeltoSDK::platform
