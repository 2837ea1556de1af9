#include "Log.hpp"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>

#include <VeltoSDK/Velto.hpp>

#include "../platform/Clock.hpp"
#include "../platform/LocaleInfo.hpp"
#include "../platform/Services.hpp"
#include "../platform/StandardOutput.hpp"

namespace VeltoSDK {
namespace {

constexpr std::string_view kErrorTag = "[\u203C\uFE0F]";
constexpr std::string_view kInfoTag = "[\u2139\uFE0F]";
constexpr std::string_view kDebugTag = "[\U0001F4AC]";

std::unique_ptr<icu::SimpleDateFormat> makeFormatter(const std::string& localeName,
                                                     const std::string& timeZoneId) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString pattern = icu::UnicodeString::fromUTF8(
        icu::StringPiece(Log::dateFormat.data(), static_cast<int32_t>(Log::dateFormat.size())));
    auto formatter = std::make_unique<icu::SimpleDateFormat>(
        pattern, icu::Locale::createCanonical(localeName.c_str()), status);
    if (U_FAILURE(status)) return nullptr;
    formatter->adoptTimeZone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZoneId)));
    return formatter;
}

// Making a formatter costs far more than using one, so each thread keeps the last one it made
// while the locale and time zone it was made for are still the current ones.
icu::SimpleDateFormat* currentFormatter() {
    struct Cached {
        std::string localeName;
        std::string timeZoneId;
        std::unique_ptr<icu::SimpleDateFormat> formatter;
    };
    thread_local Cached cached;
    std::string localeName = platform::localeInfo().localeName();
    std::string timeZoneId = platform::localeInfo().timeZoneId();
    if (!cached.formatter || cached.localeName != localeName || cached.timeZoneId != timeZoneId) {
        cached.formatter = makeFormatter(localeName, timeZoneId);
        cached.localeName = std::move(localeName);
        cached.timeZoneId = std::move(timeZoneId);
    }
    return cached.formatter.get();
}

void write(std::string_view tag, std::string_view message, std::string_view file, int line,
           std::string_view function) {
    std::string text = Log::formattedNow();
    text += ' ';
    text += tag;
    text += " [";
    text += Log::sourceFileName(file);
    text += "]:";
    text += std::to_string(line);
    text += ' ';
    text += function;
    text += " -> ";
    text += message;
    text += '\n';
    platform::standardOutput().write(text);
}

}  // namespace

std::string Log::formattedNow() {
    icu::SimpleDateFormat* formatter = currentFormatter();
    if (formatter == nullptr) return {};
    UDate now = platform::clock().secondsSince1970() * 1000.0;
    icu::UnicodeString formatted;
    formatter->format(now, formatted);
    std::string text;
    formatted.toUTF8String(text);
    return text;
}

std::string_view Log::sourceFileName(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void Log::error(std::string_view message, std::string_view file, int line,
                std::string_view function) {
    write(kErrorTag, message, file, line, function);
}

void Log::info(std::string_view message, std::string_view file, int line,
               std::string_view function) {
    write(kInfoTag, message, file, line, function);
}

void Log::debug(std::string_view message, std::string_view file, int line,
                std::string_view function) {
    if (!Velto::shared().debugMode()) return;
    write(kDebugTag, message, file, line, function);
}

}  // namespace VeltoSDK
