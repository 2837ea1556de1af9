#include "Sourcefiles/PosixTimeZone.hpp"

#include <unicode/simpletz.h>

#include <cctype>
#include <optional>
#include <string>

namespace VeltoSDK {
namespace {

constexpr int kHour = 3600 * 1000;

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool done() const { return text_.empty(); }
    bool take(char c) {
        if (text_.empty() || text_.front() != c) return false;
        text_.remove_prefix(1);
        return true;
    }
    bool nextIsDigit() const {
        return !text_.empty() && std::isdigit(static_cast<unsigned char>(text_.front()));
    }

    // Three or more letters, or any text in angle brackets.
    std::optional<std::string> name() {
        size_t length = 0;
        if (take('<')) {
            length = text_.find('>');
            if (length == std::string_view::npos || length < 3) return std::nullopt;
            std::string quoted(text_.substr(0, length));
            text_.remove_prefix(length + 1);
            return quoted;
        }
        while (length < text_.size() && std::isalpha(static_cast<unsigned char>(text_[length])))
            ++length;
        if (length < 3) return std::nullopt;
        std::string plain(text_.substr(0, length));
        text_.remove_prefix(length);
        return plain;
    }

    std::optional<int> number(int most) {
        if (!nextIsDigit()) return std::nullopt;
        int value = 0;
        while (nextIsDigit()) {
            value = value * 10 + (text_.front() - '0');
            text_.remove_prefix(1);
            if (value > most) return std::nullopt;
        }
        return value;
    }

    // [+|-]hh[:mm[:ss]] in milliseconds.
    std::optional<int> duration(int mostHours) {
        int sign = take('-') ? -1 : (take('+'), 1);
        std::optional<int> hours = number(mostHours);
        if (!hours) return std::nullopt;
        int total = *hours * 3600;
        for (int unit : {60, 1}) {
            if (!take(':')) break;
            std::optional<int> part = number(59);
            if (!part) return std::nullopt;
            total += *part * unit;
        }
        return sign * total * 1000;
    }

private:
    std::string_view text_;
};

// A transition date and time in the arguments a SimpleTimeZone takes.
struct Transition {
    int month = 0;      // 0 = January
    int day = 0;        // day of month, or week in month (-1 = last)
    int dayOfWeek = 0;  // 0 = `day` is a day of the month; else 1 = Sunday
    int time = 2 * kHour;
};

std::optional<Transition> dayOfYear(int day) {  // 1..365, 29 February not counted
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day < 1 || day > 365) return std::nullopt;
    Transition t;
    while (day > kDays[t.month]) day -= kDays[t.month++];
    t.day = day;
    return t;
}

std::optional<Transition> transition(Reader& in) {
    std::optional<Transition> t;
    if (in.take('M')) {
        std::optional<int> month = in.number(12), week, weekday;
        if (!month || *month < 1 || !in.take('.') || !(week = in.number(5)) || *week < 1 ||
            !in.take('.') || !(weekday = in.number(6)))
            return std::nullopt;
        t = Transition{*month - 1, *week == 5 ? -1 : *week, *weekday + 1};
    } else if (in.take('J')) {
        std::optional<int> day = in.number(365);
        if (!day) return std::nullopt;
        t = dayOfYear(*day);
    } else {
        std::optional<int> day = in.number(365);
        if (!day) return std::nullopt;
        t = dayOfYear(*day + 1 - (*day == 365));
    }
    if (t && in.take('/')) {
        std::optional<int> time = in.duration(24);
        if (!time || *time < 0) return std::nullopt;  // beyond what the zone can hold
        t->time = *time;
    }
    return t;
}

}  // namespace

std::unique_ptr<icu::TimeZone> PosixTimeZone::parse(std::string_view rule) {
    Reader in(rule);
    std::optional<std::string> standardName = in.name();
    if (!standardName) return nullptr;
    std::optional<int> west = in.duration(24);
    if (!west) return nullptr;
    const int rawOffset = -*west;
    const icu::UnicodeString id = icu::UnicodeString::fromUTF8(rule);
    if (in.done()) return std::make_unique<icu::SimpleTimeZone>(rawOffset, id);

    if (!in.name()) return nullptr;
    int summerOffset = rawOffset + kHour;
    if (!in.done() && !in.take(',')) {  // the summer offset, then perhaps the rule
        std::optional<int> summerWest = in.duration(24);
        if (!summerWest) return nullptr;
        summerOffset = -*summerWest;
        if (!in.done() && !in.take(',')) return nullptr;
    }
    std::optional<Transition> start, end;
    if (in.done()) {
        start = Transition{2, 2, 1};  // second Sunday of March
        end = Transition{10, 1, 1};   // first Sunday of November
    } else if (!(start = transition(in)) || !in.take(',') || !(end = transition(in)) ||
               !in.done()) {
        return nullptr;
    }
    const int savings = summerOffset - rawOffset;
    if (savings <= 0) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    auto zone = std::make_unique<icu::SimpleTimeZone>(
        rawOffset, id, static_cast<int8_t>(start->month), static_cast<int8_t>(start->day),
        static_cast<int8_t>(start->dayOfWeek), start->time, icu::SimpleTimeZone::WALL_TIME,
        static_cast<int8_t>(end->month), static_cast<int8_t>(end->day),
        static_cast<int8_t>(end->dayOfWeek), end->time, icu::SimpleTimeZone::WALL_TIME, savings,
        status);
    if (U_FAILURE(status)) return nullptr;
    return zone;
}

}  // namespace VeltoSDK
