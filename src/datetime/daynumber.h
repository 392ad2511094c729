// DP values: a double count of days from 1899-12-30 00:00, the fraction
// being the time of day. Conversions to and from the server's ISC_DATE,
// ISC_TIME and ISC_TIMESTAMP, shared by the calendar functions and Now.
#pragma once

#include <cstdint>

#include "frame/extended.h"
#include "frame/udf.h"

namespace vantor {

// Server day d is DP day d - kDayOffset (1858-11-17 to 1899-12-30).
constexpr int32_t kDayOffset = 15018;
// ISC_TIME units per millisecond.
constexpr long double kUnitsPerMillisecond = 10.0L;
// Days per millisecond: 1/86400000 rounded to the nearest extended value.
constexpr long double kDaysPerMillisecond = ExtendedFromBits(0xC6D750EBFA67B90DULL, 0x3FE4);
// The truncation guard: 1e-11 day rounded to the nearest extended value. It
// is added to a fraction before scaling, so that the double nearest to
// k/864000000 always truncates back to k.
constexpr long double kTruncationGuard = ExtendedFromBits(0xAFEBFF0BCB24AAFFULL, 0x3FDA);
// The last valid ISC_TIME of a day, 23:59:59.9999.
constexpr ISC_TIME kLastTimeOfDay = 863999999u;

// Server day number minus the offset, in 32-bit two's complement.
inline int32_t DPDayOfServerDate(ISC_DATE date) {
    return static_cast<int32_t>(static_cast<uint32_t>(date) - static_cast<uint32_t>(kDayOffset));
}

// The time of day as an unrounded fraction of a day: (t / 10) * C.
inline long double DayFractionOfTime(ISC_TIME time) {
    return (static_cast<long double>(time) / kUnitsPerMillisecond) * kDaysPerMillisecond;
}

double DateToDP(ISC_DATE date) noexcept;
double TimeToDP(ISC_TIME time) noexcept;
double TimestampToDP(ISC_TIMESTAMP timestamp) noexcept;

// DP value to server day: the integer part toward zero, plus the offset,
// kept to 32 bits. NaN, infinities and |x| >= 2^63 give the low 32 bits of
// the x87 integer indefinite plus the offset: 15018.
ISC_DATE DPToDate(double dp) noexcept;

// DP value to time of day, from the magnitude of the fraction (so -0.75 is
// 18:00, pairing with DPToDate's day 1899-12-30), held at 23:59:59.9999 when
// the guard would carry it to midnight. Non-finite values and |x| >= 2^63
// (which have no fraction) give 0.
ISC_TIME DPToTime(double dp) noexcept;

ISC_TIMESTAMP DPToTimestamp(double dp) noexcept;

}  // namespace vantor
