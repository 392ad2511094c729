// Calendar facts of a DP value: the day count after rounding to the
// millisecond, its proleptic Gregorian year, month and day, its weekday and
// the weekday filter; and the day count of a calendar date, used by Now.
#pragma once

#include <cstdint>
#include <string_view>

#include "frame/extended.h"

namespace vantor {

// Day count: 0001-01-01 is day 1, so DP day 0 (1899-12-30) is day 693594.
constexpr int32_t kDayCountOfDPDayZero = 693594;
constexpr int64_t kMillisecondsPerDay = 86400000;

// The value every calendar function works from when a DP value has no
// 32-bit day count: NaN, infinities and magnitudes of 2^31 days or more.
// Day count 0 is the day before 0001-01-01, so such values have year,
// month and day 0 and weekday 0.
constexpr int32_t kDayCountOutOfRange = 0;

// dp * 86400000 as the x87 computes it under its default settings: the
// exact product rounded to a 64-bit significand, then to a whole number of
// milliseconds, both to nearest with ties to even. Done in integers on the
// bit pattern, so the calling thread's control word plays no part. Returns
// false, leaving *milliseconds alone, for NaN, infinities and |dp| >= 2^31.
bool RoundedMillisecondsOfDP(double dp, int64_t* milliseconds) noexcept;

// The day count of a DP value: its milliseconds divided by 86400000 with
// the quotient truncated toward zero (so a value less than half a
// millisecond before midnight counts as the next day, and a negative value
// counts as its integer part toward zero), plus 693594, in 32-bit two's
// complement. kDayCountOutOfRange for NaN, infinities and |dp| >= 2^31.
// This is the exact form, through RoundedMillisecondsOfDP.
__attribute__((const)) int32_t DayCountOfDPExact(double dp) noexcept;

// The same day count, read off the bits for nearly every value. For |dp|
// below 2^31 days the product |dp| * 86400000 is below 2^57.4, so rounding
// it to 64 bits moves it by at most 2^-7 ms. The day of |dp| is its whole
// part n, or n + 1 when the rounded milliseconds reach the next midnight,
// that is when the fraction f reaches (86399999.5 ms) / day; so a fraction
// below (86399999.5 - 1/64) / 86400000 keeps day n and one above
// (86399999.5 + 1/64) / 86400000 gives n + 1. The band between them (about
// 3.6e-10 of a day wide) takes the exact form. The thresholds are the two
// bounds times 2^64, cut; cut again to the fraction's own bits they stay on
// the safe side. The value is taken by reference so that its bits are read
// from memory as they are: the i386 build would otherwise pass it through
// the x87 (two slow instructions, and a signalling NaN comes out quiet).
inline int32_t DayCountOfDP(const double& dp) noexcept {
    constexpr uint64_t kKeepsItsDay = 0xFFFFFFE65E3E9194ULL;  // floor(2^64 * (86399999.5 - 1/64) / 86400000)
    constexpr uint64_t kNextDay = 0xFFFFFFE7EBED336CULL;      // floor(2^64 * (86399999.5 + 1/64) / 86400000)
    const DoubleFields fields = FieldsOfDouble(dp);
    if (fields.Biased > 1023 + 30) return kDayCountOutOfRange;  // also NaN and infinities
    if (fields.Biased < 1022) return kDayCountOfDPDayZero;      // below half a day
    const int fractionBits = 1075 - fields.Biased;              // 22 to 53
    const uint64_t significand = fields.Significand();
    uint32_t days = fractionBits == 53 ? 0 : static_cast<uint32_t>(significand >> fractionBits);
    const uint64_t fraction = significand & ((uint64_t{1} << fractionBits) - 1);
    if (fraction >= (kKeepsItsDay >> (64 - fractionBits))) {
        if (fraction <= (kNextDay >> (64 - fractionBits))) return DayCountOfDPExact(dp);
        ++days;
    }
    if (fields.Negative) days = 0u - days;
    return static_cast<int32_t>(days + static_cast<uint32_t>(kDayCountOfDPDayZero));
}

// Year, month and day: unsigned 16-bit quantities, all 0 for a day count
// of 0 or less.
struct CalendarDate {
    uint16_t Year;
    uint16_t Month;
    uint16_t Day;
};

// The proleptic Gregorian date of a day count. The count is taken to days
// since 0000-03-01 (so that the leap day ends a year) and split into eras of
// 400 years, 146097 days; within an era, centuries, years, months and days
// come from multiplications and shifts (Euclidean affine functions:
// 4d + 3 over 146097 for the century, 2939745 / 2^32 per four days for the
// year, and 2141 / 2^16 per day for the month of a March-based year). No
// loop and no table. The year is carried in full (it fits 32 bits for
// every count) and its low 16 bits returned, so the month and day stay right
// (leap years included) however large the count.
inline CalendarDate CalendarDateOfDayCount(int32_t dayCount) noexcept {
    if (dayCount <= 0) return CalendarDate{0, 0, 0};
    const uint32_t sinceMarch = static_cast<uint32_t>(dayCount) + 305u;  // 0000-03-01 is day count -305
    const uint32_t era = sinceMarch / 146097u;
    const uint32_t centuryPart = 4 * (sinceMarch % 146097u) + 3;
    const uint32_t century = centuryPart / 146097u;
    const uint32_t yearPart = 4 * (centuryPart % 146097u / 4) + 3;
    const uint64_t yearProduct = uint64_t{2939745u} * yearPart;
    const uint32_t yearOfCentury = static_cast<uint32_t>(yearProduct >> 32);
    const uint32_t dayOfYear = static_cast<uint32_t>(yearProduct) / 2939745u / 4;
    const uint32_t monthPart = 2141u * dayOfYear + 197913u;
    const uint32_t month = monthPart >> 16;
    const uint32_t day = (monthPart & 0xFFFFu) / 2141u + 1;
    const uint32_t january = dayOfYear >= 306 ? 1 : 0;  // January and February close the year
    const uint32_t year = 400 * era + 100 * century + yearOfCentury + january;
    return CalendarDate{static_cast<uint16_t>(year), static_cast<uint16_t>(january ? month - 12 : month),
                        static_cast<uint16_t>(day)};
}

// ((dayCount - 1) rem 7) + 1, the remainder truncated toward zero: 1 is
// Monday and 7 Sunday from 0001-01-01 on; before it, -5 to 1. In 32 bits:
// |dayCount - 1| fits an unsigned word for every count.
inline int32_t WeekdayOfDayCount(int32_t dayCount) noexcept {
    if (dayCount >= 1) return static_cast<int32_t>((static_cast<uint32_t>(dayCount) - 1) % 7) + 1;
    return 1 - static_cast<int32_t>((1u - static_cast<uint32_t>(dayCount)) % 7);
}

// WeekdayPassesList for a weekday outside 1 to 7, whose text has several
// digits or none that a list names.
__attribute__((pure)) bool WeekdayPassesListText(int32_t weekday, std::string_view list) noexcept;

// Whether a weekday passes a weekday list: "" and "0" pass every day;
// otherwise the weekday, taken as an unsigned 16-bit number, is written in
// decimal and looked for anywhere in the list. A weekday from 1 to 7 is one
// digit, looked for byte by byte.
inline bool WeekdayPassesList(int32_t weekday, std::string_view list) noexcept {
    if (list.empty() || list == "0") return true;
    if (static_cast<uint32_t>(weekday) - 1 >= 7u) return WeekdayPassesListText(weekday, list);
    return list.find(static_cast<char>('0' + weekday)) != std::string_view::npos;
}

// The day count of a proleptic Gregorian date (month 1 to 12, day 1 to the
// month's length), for any year from 1 on; 64-bit so that no year overflows.
int64_t DayCountOfDate(int64_t year, int month, int day) noexcept;

}  // namespace vantor
