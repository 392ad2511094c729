// Calendar facts of a DP value: the day count after rounding to the
// millisecond, its proleptic Gregorian year, month and day, its weekday and
// the weekday filter; and the day count of a calendar date, used by Now.
#pragma once

#include <cstdint>

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
int32_t DayCountOfDP(double dp) noexcept;

// Year, month and day: unsigned 16-bit quantities, all 0 for a day count
// of 0 or less.
struct CalendarDate {
    uint16_t year;
    uint16_t month;
    uint16_t day;
};

// The proleptic Gregorian date of a day count, by the 400/100/4/1-year
// split. The year is carried in full and its low 16 bits returned, so the
// month and day stay right (leap years included) however large the count.
CalendarDate CalendarDateOfDayCount(int32_t dayCount) noexcept;

// ((dayCount - 1) rem 7) + 1, the remainder truncated toward zero: 1 is
// Monday and 7 Sunday from 0001-01-01 on; before it, -5 to 1.
int32_t WeekdayOfDayCount(int32_t dayCount) noexcept;

// Whether a weekday passes a weekday list: "" and "0" pass every day
// (a null list reads as ""); otherwise the weekday, taken as an unsigned
// 16-bit number, is written in decimal and looked for anywhere in the list.
bool WeekdayPassesList(int32_t weekday, const char* list) noexcept;

// The day count of a proleptic Gregorian date (month 1 to 12, day 1 to the
// month's length), for any year from 1 on; 64-bit so that no year overflows.
int64_t DayCountOfDate(int64_t year, int month, int day) noexcept;

}  // namespace vantor
