#pragma once

#include <optional>
#include <string>
#include <string_view>

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
    // Whether the locale name and zone id are still these: read as often as the two above, for
    // a caller that keeps what it made for them. A platform may answer without copying them.
    virtual bool isCurrent(std::string_view localeName, std::string_view timeZoneId) {
        return this->localeName() == localeName && this->timeZoneId() == timeZoneId;
    }
};

}  // namespace VeltoSDK::platform
