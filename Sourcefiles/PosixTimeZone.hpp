#pragma once

#include <unicode/timezone.h>

#include <memory>
#include <string_view>

namespace VeltoSDK {

// A time zone given as a POSIX TZ rule, the form the C library reads when TZ names no zone
// file: "EST+5", "<+0530>-5:30", "CET-1CEST,M3.5.0,M10.5.0/3". Offsets count west of
// Greenwich, as there. Without a rule, summer time follows the C library's default,
// "M3.2.0,M11.1.0". A rule of the form "n" (a day of the year counting 29 February) is read as
// "Jn+1", which differs from it by a day after February in leap years.
class PosixTimeZone {
public:
    // None when `rule` is not such a rule.
    static std::unique_ptr<icu::TimeZone> parse(std::string_view rule);
};

}  // namespace VeltoSDK
