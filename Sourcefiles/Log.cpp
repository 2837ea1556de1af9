#include "Sourcefiles/Log.hpp"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>

#include <VeltoSDK/Velto.hpp>

#include "Sourcefiles/LogSink.hpp"
#include "Sourcefiles/LogText.hpp"
#include "Sourcefiles/PosixTimeZone.hpp"
#include "platform/Clock.hpp"
#include "platform/ForkSafety.hpp"
#include "platform/LocaleInfo.hpp"
#include "platform/Platform.hpp"
#include "platform/StandardOutput.hpp"

namespace VeltoSDK {
namespace {

constexpr std::string_view kErrorTag = "[\u203C\uFE0F]";
constexpr std::string_view kInfoTag = "[\u2139\uFE0F]";
constexpr std::string_view kDebugTag = "[\U0001F4AC]";

// Within one second only the milliseconds change, so the text up to the seconds is formatted
// once per second and the milliseconds on their own. ICU writes field after field, so the two
// pieces together are what the whole pattern gives. The milliseconds are three digits of the
// locale's numbering system, so they come from a table of its digits where that table gives
// exactly what the formatter writes.
constexpr std::string_view kMilliseconds = "SSS";
static_assert(Log::dateFormat.ends_with(kMilliseconds));
constexpr std::string_view kUpToSeconds =
    Log::dateFormat.substr(0, Log::dateFormat.size() - kMilliseconds.size());
// Far beyond any clock reading; outside it every line is formatted whole.
constexpr double kSplitMillisecondsLimit = 1e14;

// An Olson id names a zone of ICU's; anything else is read as a POSIX rule, as the C library
// reads TZ, and only then handed to ICU (a custom id such as "GMT+05:30"; unknown ones are UTC).
icu::TimeZone* makeTimeZone(const std::string& timeZoneId) {
    const icu::UnicodeString id = icu::UnicodeString::fromUTF8(timeZoneId);
    icu::UnicodeString canonical;
    UBool isSystemId = false;
    UErrorCode status = U_ZERO_ERROR;
    icu::TimeZone::getCanonicalID(id, canonical, isSystemId, status);
    if (U_FAILURE(status) || !isSystemId) {
        if (std::unique_ptr<icu::TimeZone> posix = PosixTimeZone::parse(timeZoneId)) {
            return posix.release();
        }
    }
    return icu::TimeZone::createTimeZone(id);
}

// Canonicalising a name loads ICU's alias data on first use, a third of a millisecond, for many
// common names: "en_US_POSIX" (the C locale's) and most language and region pairs. These
// change nothing, as a test checks against ICU itself.
constexpr std::string_view kCanonicalLanguages[] = {
    "ar", "bn", "cs", "da", "de", "el", "en", "es", "fa", "fi", "fr", "he", "hi", "hu", "id", "it",
    "ja", "ko", "ms", "nb", "nl", "pl", "pt", "ro", "ru", "sk", "sv", "th", "tr", "uk", "vi", "zh"};
constexpr std::string_view kCanonicalRegions[] = {
    "AE", "AR", "AT", "AU", "BE", "BR", "CA", "CH", "CL", "CN", "CO", "CZ", "DE",
    "DK", "EG", "ES", "FI", "FR", "GB", "GR", "HK", "HU", "ID", "IE", "IL", "IN",
    "IT", "JP", "KR", "MX", "MY", "NL", "NO", "NZ", "PH", "PL", "PT", "RO", "RU",
    "SA", "SE", "SG", "SK", "TH", "TR", "TW", "UA", "US", "VN", "ZA"};

std::unique_ptr<icu::SimpleDateFormat> makeFormatter(std::string_view pattern,
                                                     const std::string& localeName,
                                                     const std::string& timeZoneId) {
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_unique<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(
            icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size()))),
        Log::isKnownCanonicalLocale(localeName) ? icu::Locale(localeName.c_str())
                                                : icu::Locale::createCanonical(localeName.c_str()),
        status);
    if (U_FAILURE(status)) return nullptr;
    formatter->adoptTimeZone(makeTimeZone(timeZoneId));
    return formatter;
}

void appendFormatted(icu::SimpleDateFormat& formatter, UDate when, std::string& text) {
    icu::UnicodeString formatted;
    formatter.format(when, formatted);
    formatted.toUTF8String(text);
}

using DigitTable = std::array<std::string, 10>;

void appendMilliseconds(const DigitTable& digits, int milliseconds, std::string& text) {
    text += digits[milliseconds / 100];
    text += digits[milliseconds / 10 % 10];
    text += digits[milliseconds % 10];
}

// The digits the milliseconds formatter writes, read from its own output; none when it does
// not write each of the three digits on its own (a numbering system that is not decimal).
std::optional<DigitTable> millisecondDigits(icu::SimpleDateFormat& formatter) {
    constexpr UDate kSomeSecond = 1.7e12;  // any whole second will do
    auto formatted = [&](int milliseconds) {
        std::string text;
        appendFormatted(formatter, kSomeSecond + milliseconds, text);
        return text;
    };
    DigitTable digits;
    std::string zeros = formatted(0);
    digits[0] = zeros.substr(0, zeros.size() / 3);
    std::string leadingZeros = digits[0] + digits[0];
    for (int digit = 0; digit < 10; ++digit) {
        std::string text = formatted(digit);
        if (digits[0].empty() || !text.starts_with(leadingZeros)) return std::nullopt;
        digits[digit] = text.substr(leadingZeros.size());
    }
    for (int milliseconds : {0, 10, 100, 123, 456, 789, 907, 999}) {
        std::string expected;
        appendMilliseconds(digits, milliseconds, expected);
        if (formatted(milliseconds) != expected) return std::nullopt;
    }
    return digits;
}

// The lines kept by this thread's batch, if it has one. A plain pointer: still readable from
// the thread's last destructors.
thread_local std::string* threadBatch = nullptr;

// Set once a line of the thread's batch has found the locale and time zone unchanged: the
// batch's other lines, written within the same call, use that reading.
thread_local bool zoneReadInBatch = false;

// Making formatters costs far more than using them, so each thread keeps the last ones it made
// while the locale and time zone they were made for are still the current ones. Making and
// freeing them takes ICU's global locks, so it happens under the library's ICU lock, which a
// fork never copies while held; formatting takes none.
class CachedFormatters {
public:
    // A line can still come after this on the same thread: from a later thread_local's
    // destructor, or on the main thread from a static destructor at exit. Such a line is
    // formatted whole with a formatter of its own, and nothing is kept for it: the thread's
    // storage is about to go, and with it anything made for it now.
    ~CachedFormatters() {
        {
            std::lock_guard lock(platform::icuMutex());
            whole_.reset();
            upToSeconds_.reset();
            milliseconds_.reset();
        }
        std::string().swap(localeName_);
        std::string().swap(timeZoneId_);
        std::string().swap(secondText_);
        digits_.reset();
        byteDigits_.reset();
        second_.reset();
        splitMade_ = false;
        gone_ = true;
    }

    static CachedFormatters& current() {
        thread_local CachedFormatters cached;
        if (cached.gone_) return cached;
        platform::LocaleInfo& locale = *platform::current().localeInfo;
        // Asked once a batch, or on every line outside one; the names are copied only when
        // they changed.
        if (cached.whole_ &&
            (zoneReadInBatch || locale.isCurrent(cached.localeName_, cached.timeZoneId_))) {
            if (!cached.splitMade_) cached.makeSplitFormatters();
            zoneReadInBatch = threadBatch != nullptr;
            return cached;
        }
        std::string localeName = locale.localeName();
        std::string timeZoneId = locale.timeZoneId();
        if (!cached.whole_ || cached.localeName_ != localeName ||
            cached.timeZoneId_ != timeZoneId) {
            std::lock_guard lock(platform::icuMutex());
            cached.whole_ = makeFormatter(Log::dateFormat, localeName, timeZoneId);
            cached.upToSeconds_.reset();
            cached.milliseconds_.reset();
            cached.digits_.reset();
            cached.byteDigits_.reset();
            cached.splitMade_ = false;
            cached.second_.reset();
            cached.localeName_ = std::move(localeName);
            cached.timeZoneId_ = std::move(timeZoneId);
        } else if (!cached.splitMade_) {
            cached.makeSplitFormatters();
        }
        return cached;
    }

    // Appends the date text of `when` to `text`.
    void format(UDate when, std::string& text) {
        if (gone_) return formatOnce(when, text);
        if (!whole_) return;
        if (!upToSeconds_ || !milliseconds_ || !(std::fabs(when) < kSplitMillisecondsLimit)) {
            appendFormatted(*whole_, when, text);
            return;
        }
        double second = std::floor(when / 1000.0);
        if (second_ != second) {
            secondText_.clear();
            appendFormatted(*upToSeconds_, when, secondText_);
            second_ = second;
        }
        text += secondText_;
        if (digits_) {
            double milliseconds = std::floor(when - second * 1000.0);
            int ms = static_cast<int>(std::clamp(milliseconds, 0.0, 999.0));
            if (byteDigits_) {
                const std::array<char, 10>& digit = *byteDigits_;
                const char three[] = {digit[ms / 100], digit[ms / 10 % 10], digit[ms % 10]};
                text.append(three, sizeof three);
            } else {
                appendMilliseconds(*digits_, ms, text);
            }
        } else {
            appendFormatted(*milliseconds_, when, text);
        }
    }

private:
    // They pay off from a thread's second line on, so its first line (the only one
    // `initialize` writes) is formatted whole and does not wait for them.
    void makeSplitFormatters() {
        std::lock_guard lock(platform::icuMutex());
        upToSeconds_ = makeFormatter(kUpToSeconds, localeName_, timeZoneId_);
        milliseconds_ = makeFormatter(kMilliseconds, localeName_, timeZoneId_);
        if (milliseconds_) digits_ = millisecondDigits(*milliseconds_);
        byteDigits_.reset();
        if (digits_ && std::all_of(digits_->begin(), digits_->end(),
                                   [](const std::string& digit) { return digit.size() == 1; })) {
            byteDigits_.emplace();
            for (int i = 0; i < 10; ++i) (*byteDigits_)[i] = (*digits_)[i][0];
        }
        splitMade_ = true;
    }

    static void formatOnce(UDate when, std::string& text) {
        platform::LocaleInfo& locale = *platform::current().localeInfo;
        std::unique_ptr<icu::SimpleDateFormat> formatter;
        {
            std::lock_guard lock(platform::icuMutex());
            formatter = makeFormatter(Log::dateFormat, locale.localeName(), locale.timeZoneId());
        }
        if (formatter) appendFormatted(*formatter, when, text);
        std::lock_guard lock(platform::icuMutex());
        formatter.reset();
    }

    std::string localeName_;
    std::string timeZoneId_;
    bool gone_ = false;  // destroyed: see the destructor
    bool splitMade_ = false;
    std::unique_ptr<icu::SimpleDateFormat> whole_;
    std::unique_ptr<icu::SimpleDateFormat> upToSeconds_;
    std::unique_ptr<icu::SimpleDateFormat> milliseconds_;
    std::optional<DigitTable> digits_;                // when they give what `milliseconds_` writes
    std::optional<std::array<char, 10>> byteDigits_;  // the same, when each is one byte
    std::optional<double> second_;                    // the second `secondText_` shows
    std::string secondText_;
};

void appendFormattedNow(std::string& text) {
    CachedFormatters& formatters = CachedFormatters::current();
    formatters.format(platform::current().clock->secondsSince1970() * 1000.0, text);
}

// Room for a line's date, tag, site and line number, and its line feed.
constexpr std::size_t kLineRoom = 160;
// Room for the lines of one event, kept by its batch; below 1 KiB, where the allocator's large
// sizes begin, which cost more to serve.
constexpr std::size_t kBatchRoom = 640;

constexpr Log::Site kWrite{"Sourcefiles/Log", "write(_:)"};

void write(LogLevel level, std::string_view tag, std::string_view message, const Log::Site& site,
           int line);

// Lines standard output could not take are counted there; the first line that gets through
// afterwards is followed by one that says how many.
void reportDroppedLines(platform::StandardOutput& output) {
    std::size_t dropped = output.takeDroppedLineCount();
    if (dropped == 0) return;
    write(LogLevel::error, kErrorTag,
          std::to_string(dropped) + (dropped == 1 ? " log line" : " log lines") +
              " dropped: standard output did not take them in time",
          kWrite, __LINE__);
}

// Appends the pieces with one growth of `text`: appending them one by one checks the room and
// stores the size for each, and each store waits for the one before.
void appendAll(std::string& text, std::initializer_list<std::string_view> pieces) {
    std::size_t total = 0;
    for (std::string_view piece : pieces) total += piece.size();
    std::size_t at = text.size();
    text.resize(at + total);
    char* next = text.data() + at;
    for (std::string_view piece : pieces) {
        if (!piece.empty()) std::memcpy(next, piece.data(), piece.size());
        next += piece.size();
    }
}

void write(LogLevel level, std::string_view tag, std::string_view message, const Log::Site& site,
           int line) {
    LogSink::Route route = LogSink::route(level);
    if (!route) return;
    // Kept by the thread's batch, the line is built at the end of its lines.
    std::string own;
    std::string* kept = route.toHandler() ? nullptr : threadBatch;
    std::string& text = kept ? *kept : own;
    // The date, the tag and the site rarely take more; the line is then built without a copy.
    text.reserve(std::max(text.size() + kLineRoom + message.size(), kept ? kBatchRoom : 0));
    appendFormattedNow(text);
    char digits[std::numeric_limits<int>::digits10 + 2];
    std::string_view lineNumber(digits, std::to_chars(digits, std::end(digits), line).ptr);
    appendAll(text, {" ", tag, " [", site.fileName, "]:", lineNumber, " ", site.function, " -> "});
    // Texts from outside reach the message; the JSON body keeps its layout.
    LogText::appendEscaped(text, message, tag == kDebugTag);
    if (kept) {
        text += '\n';
    } else if (route.deliver(std::move(own))) {
        reportDroppedLines(*platform::current().standardOutput);
    }
}

}  // namespace

Log::Batch::Batch() : owner_(threadBatch == nullptr) {
    if (!owner_) return;
    threadBatch = &lines_;
    zoneReadInBatch = false;
}

Log::Batch::~Batch() {
    if (!owner_) return;
    try {
        flush();
    } catch (...) {
        // Out of memory for the dropped-lines report: the lines themselves went out.
    }
    threadBatch = nullptr;
    zoneReadInBatch = false;
}

void Log::Batch::flush() {
    std::string* lines = threadBatch;
    if (!lines || lines->empty()) return;
    platform::StandardOutput& output = *platform::current().standardOutput;
    output.write(*lines);
    lines->clear();
    // The report of lines dropped so far goes straight out: kept, it could outlive the batch.
    struct Reattach {
        std::string* lines;
        ~Reattach() { threadBatch = lines; }
    } reattach{lines};
    threadBatch = nullptr;
    reportDroppedLines(output);
}

std::string Log::formattedNow() {
    std::string text;
    appendFormattedNow(text);
    return text;
}

void Log::error(std::string_view message, const Site& site, int line) {
    write(LogLevel::error, kErrorTag, message, site, line);
}

void Log::info(std::string_view message, const Site& site, int line) {
    write(LogLevel::info, kInfoTag, message, site, line);
}

void Log::debug(std::string_view message, const Site& site, int line) {
    if (!Velto::shared().debugMode()) return;
    write(LogLevel::debug, kDebugTag, message, site, line);
}

bool Log::isKnownCanonicalLocale(std::string_view name) {
    if (name == "en_US_POSIX") return true;
    auto listed = [](const auto& list, std::string_view code) {
        return std::find(std::begin(list), std::end(list), code) != std::end(list);
    };
    return name.size() == 5 && name[2] == '_' && listed(kCanonicalLanguages, name.substr(0, 2)) &&
           listed(kCanonicalRegions, name.substr(3));
}

}  // namespace VeltoSDK
