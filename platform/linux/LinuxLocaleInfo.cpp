#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// ICU's defaults: the locale comes from LANG / LC_* at start-up, the zone from TZ or
// /etc/localtime.
class IcuLocaleInfo final : public LocaleInfo {
public:
    std::string localeName() override { return icu::Locale::getDefault().getName(); }

    std::string timeZoneId() override {
        std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
        icu::UnicodeString id;
        zone->getID(id);
        std::string text;
        id.toUTF8String(text);
        return text;
    }

    std::optional<std::string> languageCode() override {
        const char* language = icu::Locale::getDefault().getLanguage();
        if (language == nullptr || *language == '\0') return std::nullopt;
        return std::string(language);
    }
};

}  // namespace

LocaleInfo& localeInfo() {
    static IcuLocaleInfo* instance = new IcuLocaleInfo;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
