#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <atomic>
#include <cstdlib>
#include <memory>

#include "platform/ForkSafety.hpp"
#include "platform/linux/Linux.hpp"

namespace VeltoSDK::platform::linux_os {
namespace {

// ICU's default locale, from LANG / LC_* at start-up. Asking ICU for it takes one of its global
// locks, so it is read once; it does not change while the process runs.
struct LocaleNames {
    std::string name;
    std::optional<std::string> language;
};

const LocaleNames& localeNames() {
    static std::atomic<const LocaleNames*> names{nullptr};  // made once, never freed
    if (const LocaleNames* known = names.load(std::memory_order_acquire)) return *known;
    std::lock_guard lock(icuMutex());
    if (const LocaleNames* known = names.load(std::memory_order_acquire)) return *known;
    const icu::Locale& locale = icu::Locale::getDefault();
    auto* made = new LocaleNames{locale.getName(), std::nullopt};
    if (const char* language = locale.getLanguage(); language && *language) {
        made->language = language;
    }
    names.store(made, std::memory_order_release);
    return *made;
}

// The zone the C library's localtime would use: TZ when set, else the system's. A zone file
// under a zoneinfo directory gives its name; any other TZ text is passed on as it stands (an
// Olson id, or a POSIX rule such as "EST+5"), the log reading the rules from it.
std::string zoneIdFor(const char* tz) {
    if (!tz) {
        std::lock_guard lock(icuMutex());
        std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
        icu::UnicodeString id;
        zone->getID(id);
        std::string text;
        id.toUTF8String(text);
        return text;
    }
    std::string_view text = tz;
    if (text.starts_with(':')) text.remove_prefix(1);
    if (text.empty()) return "UTC";
    if (text.starts_with('/')) {
        constexpr std::string_view kZoneinfo = "/zoneinfo/";
        size_t at = text.find(kZoneinfo);
        if (at == std::string_view::npos) return "UTC";
        text.remove_prefix(at + kZoneinfo.size());
        for (std::string_view variant : {"posix/", "right/"}) {
            if (text.starts_with(variant)) text.remove_prefix(variant.size());
        }
    }
    return std::string(text);
}

// Read on every log line, so without a lock: each thread keeps the id it last found and looks
// again only when TZ has changed. A line written after the thread's copy is destroyed (from a
// later thread_local destructor, or a static one at exit) gets the id in `scratch` instead, and
// nothing is kept for it.
const std::string& currentZoneId(std::string& scratch) {
    struct Reading {
        bool known = false;
        bool gone = false;
        bool tzWasSet = false;
        std::string tz;
        std::string id;
        ~Reading() {
            known = false;
            gone = true;
            std::string().swap(tz);
            std::string().swap(id);
        }
    };
    thread_local Reading last;
    const char* tz = std::getenv("TZ");
    if (last.gone) return scratch = zoneIdFor(tz);
    if (!last.known || last.tzWasSet != (tz != nullptr) || (tz && last.tz != tz)) {
        last.id = zoneIdFor(tz);
        last.tzWasSet = tz != nullptr;
        last.tz = tz ? tz : "";
        last.known = true;
    }
    return last.id;
}

class IcuLocaleInfo final : public LocaleInfo {
public:
    std::string localeName() override { return localeNames().name; }

    std::string timeZoneId() override {
        std::string scratch;
        return currentZoneId(scratch);
    }

    bool isCurrent(std::string_view localeName, std::string_view timeZoneId) override {
        std::string scratch;
        return localeNames().name == localeName && currentZoneId(scratch) == timeZoneId;
    }

    std::optional<std::string> languageCode() override { return localeNames().language; }
};

}  // namespace

LocaleInfo& localeInfo() {
    static IcuLocaleInfo* instance = new IcuLocaleInfo;
    return *instance;
}

}  // namespace VeltoSDK::platform::linux_os
