// DP values: a double count of days from 1899-12-30 00:00, the fraction
// being the time of day. Conversions to and from the server's date, time
// and timestamp values, shared by the calendar functions and Now.
#pragma once

#include <cstdint>

#include "frame/extended.h"

namespace vantor {

// The server's values as plain numbers: a date is a signed count of days
// (day 0 is 1858-11-17), a time a count of 1/10000 second since midnight,
// and a timestamp the two, date first, in the server's 8-byte layout.
struct Timestamp {
    int32_t Date;
    uint32_t Time;
};

// Server day d is DP day d - kDayOffset (1858-11-17 to 1899-12-30).
constexpr int32_t kDayOffset = 15018;
// Time units (1/10000 second) per millisecond.
constexpr long double kUnitsPerMillisecond = 10.0L;
// Days per millisecond: 1/86400000 rounded to the nearest extended value.
constexpr long double kDaysPerMillisecond = ExtendedFromBits(0xC6D750EBFA67B90DULL, 0x3FE4);
// The truncation guard: 1e-11 day rounded to the nearest extended value. It
// is added to a fraction before scaling, so that the double nearest to
// k/864000000 always truncates back to k.
constexpr long double kTruncationGuard = ExtendedFromBits(0xAFEBFF0BCB24AAFFULL, 0x3FDA);
// The last valid time of a day, 23:59:59.9999.
constexpr uint32_t kLastTimeOfDay = 863999999u;

// Server day number minus the offset, in 32-bit two's complement.
inline int32_t DPDayOfServerDate(int32_t date) {
    return static_cast<int32_t>(static_cast<uint32_t>(date) - static_cast<uint32_t>(kDayOffset));
}

// A time as an exact extended value. On i386 a time below 2^31 is loaded
// as a 32-bit integer: the compiler would otherwise store it as the two
// halves of a 64-bit integer and load those at once, which the processor
// cannot forward from the two stores.
inline long double ExtendedOfTime(uint32_t time) {
#if defined(__i386__)
    if (time < 0x80000000u) return static_cast<long double>(static_cast<int32_t>(time));
#endif
    return static_cast<long double>(time);
}

// The time of day as an unrounded fraction of a day: (t / 10) * C, on the
// x87 under the calling thread's settings.
inline long double DayFractionOfTime(uint32_t time) {
    return (ExtendedOfTime(time) / kUnitsPerMillisecond) * kDaysPerMillisecond;
}

// The same fraction as the x87 computes it under its default settings,
// worked out in integers: the significand (top bit set) is returned, and
// the fraction is significand * 2^*exponent. For a time above 0.
//   q = t / 10 rounded to 64 bits: t shifted to the top of 32 bits is
//       10a + b, and q's significand is a * 2^s plus b * 2^s / 10 rounded,
//       with s = 35 or 36 so that it fills 64 bits; b * 2^s / 10 is
//       b * floor(2^s / 10) + b * (2^s mod 10) / 10, whose remainder is even
//       (never a tie);
//   r = q * C rounded to 64 bits, from the 128-bit product.
inline uint64_t ExtendedDayFractionOfTime(uint32_t time, int* exponent) noexcept {
    const int lead = __builtin_clz(time);
    const uint32_t top = time << lead;
    const bool wide = top < 0xA0000000u;  // t/10 scaled by 2^36 stays below 2^64
    const int scale = wide ? 36 : 35;
    const uint32_t whole = top / 10, tenths = top - whole * 10;
    const uint32_t spill = tenths * (wide ? 6u : 8u);  // tenths * (2^scale mod 10)
    const uint64_t quotient = (uint64_t{whole} << scale) +
                              uint64_t{tenths} * (wide ? 6871947673u : 3435973836u) + spill / 10 +
                              (spill % 10 > 5 ? 1 : 0);
    int shift;
    const uint64_t product = RoundWideToExtended(MultiplyWide(quotient, 0xC6D750EBFA67B90DULL), &shift);
    *exponent = shift - scale - lead - 90;
    return product;
}

inline double DateToDP(int32_t date) {
    return static_cast<double>(DPDayOfServerDate(date));
}

// The x87 forms of the conversions below, under the calling thread's
// settings; the inline forms take them whenever the control word is not the
// default, and the tests hold the two to the same bits under the default.
double TimeToDPOnX87(uint32_t time);
double TimestampToDPOnX87(Timestamp timestamp);
uint32_t DPToTimeOnX87(double dp);

// On x86-64 the x87 does these steps in a few cycles and is itself the
// definition, so it is used under every control word; the i386 build works
// the default settings' result out in integers (see ExtendedDayFractionOfTime).
inline double TimeToDP(uint32_t time) {
    const ExtendedArithmetic extended;
#if defined(__x86_64__)
    return RoundToDouble(DayFractionOfTime(extended.Operand(time)));
#else
    if (!IsDefaultArithmetic(ReadControlWord())) return TimeToDPOnX87(time);
    if (time == 0) return 0.0;
    int exponent;
    const uint64_t fraction = ExtendedDayFractionOfTime(time, &exponent);
    return DoubleOfExtended(fraction, exponent, false);
#endif
}

// The day and the fraction added at 64 bits and then rounded to double, in
// integers: the sum is exact in 128 bits with the fraction's scale (2^-61
// to 2^-94), then rounded as the x87 rounds it.
inline double TimestampToDP(Timestamp timestamp) {
    const ExtendedArithmetic extended;
#if defined(__x86_64__)
    timestamp = extended.Operand(timestamp);
    return RoundToDouble(static_cast<long double>(DPDayOfServerDate(timestamp.Date)) +
                         DayFractionOfTime(timestamp.Time));
#else
    if (!IsDefaultArithmetic(ReadControlWord())) return TimestampToDPOnX87(timestamp);
    const int32_t day = DPDayOfServerDate(timestamp.Date);
    if (timestamp.Time == 0) return static_cast<double>(day);
    int exponent;
    const uint64_t fraction = ExtendedDayFractionOfTime(timestamp.Time, &exponent);
    if (day == 0) return DoubleOfExtended(fraction, exponent, false);
    const int scale = -exponent;  // 61 to 94
    const uint64_t magnitude = day < 0 ? 0u - static_cast<uint64_t>(static_cast<int64_t>(day))
                                       : static_cast<uint64_t>(day);
    const Wide days = scale >= 64 ? Wide{magnitude << (scale - 64), 0}
                                  : Wide{magnitude >> (64 - scale), magnitude << scale};
    Wide sum;
    bool negative = false;
    if (day > 0) {
        sum.Low = days.Low + fraction;
        sum.High = days.High + (sum.Low < fraction ? 1 : 0);
    } else if (days.High != 0 || days.Low >= fraction) {
        sum.Low = days.Low - fraction;
        sum.High = days.High - (days.Low < fraction ? 1 : 0);
        negative = true;
    } else {
        sum = Wide{0, fraction - days.Low};
    }
    if (sum.High == 0 && sum.Low == 0) return 0.0;
    int shift;
    const uint64_t rounded = RoundWideToExtended(sum, &shift);
    return DoubleOfExtended(rounded, shift - scale, negative);
#endif
}

// DP value to server day: the integer part toward zero, plus the offset,
// kept to 32 bits. NaN, infinities and |x| >= 2^63 give the low 32 bits of
// the x87 integer indefinite plus the offset: 15018. Worked on the bits,
// whatever the thread's settings. The DP conversions take the value by
// reference, so that its bits are read from memory as they are (the i386
// build would otherwise pass it through the x87).
inline int32_t DPToDate(const double& dp) {
#if defined(__x86_64__)
    // cvttsd2si truncates whatever MXCSR says, and gives the integer
    // indefinite where there is no 64-bit integer part, as the x87 does.
    // (Written out: GCC gives a noexcept function that uses the intrinsic an
    // exception personality, which would pull the C++ runtime's unwinder
    // into the library.)
    int64_t truncated;
    __asm__("cvttsd2si %1, %0" : "=r"(truncated) : "x"(dp));
    const uint32_t whole = static_cast<uint32_t>(truncated);
#else
    const DoubleFields fields = FieldsOfDouble(dp);
    const int exponent = fields.Biased - 1023;
    if (exponent < 0 || exponent >= 63) return kDayOffset;
    const uint64_t significand = fields.Significand();
    uint32_t whole = exponent <= 52 ? static_cast<uint32_t>(significand >> (52 - exponent))
                                    : static_cast<uint32_t>(significand << (exponent - 52));
    if (fields.Negative) whole = 0u - whole;
#endif
    return static_cast<int32_t>(whole + static_cast<uint32_t>(kDayOffset));
}

// DP value to time of day, from the magnitude of the fraction (so -0.75 is
// 18:00, pairing with DPToDate's day 1899-12-30), held at 23:59:59.9999 when
// the guard would carry it to midnight. Non-finite values and |x| >= 2^63
// (which have no fraction) give 0.
//
// Under the default settings the x87 steps (f + guard) * 10 / C, three
// roundings to 64 bits of a value below 2^30, miss the exact value
// V = (f + guard) * 10 / C by less than 2^-32.4. V is f * 864000000 plus
// f * (10/C - 864000000) (below 0.12 * 2^-34) plus guard * 10 / C, here in
// fixed point with 34 fraction bits: the first term cut (less than one
// unit), the last a constant rounded (half a unit). Whenever that sum lies
// 16 units (2^-30) or more from a whole number, the x87's result truncates
// to the same whole number as the sum; otherwise the x87 is asked.
inline uint32_t DPToTime(const double& dp) {
    const ExtendedArithmetic extended;
    if (!IsDefaultArithmetic(ReadControlWord())) return DPToTimeOnX87(dp);
    const DoubleFields fields = FieldsOfDouble(dp);
    if (fields.Biased >= 1023 + 52) return 0;  // whole, or no 64-bit integer part
    // The fraction's magnitude is numerator * 2^-denominatorBits; from 1.0 on
    // (1 to 52 fraction bits) the whole part is cut off.
    const int denominatorBits = fields.Biased == 0 ? 1074 : 1075 - fields.Biased;
    uint64_t numerator = fields.Significand();
    if (denominatorBits <= 52) numerator &= (uint64_t{1} << denominatorBits) - 1;
    // f * 864000000 * 2^34 = numerator * 421875 * 2^(45 - denominatorBits),
    // below 2^63.7.
    constexpr uint32_t kOddPartOfUnitsPerDay = 421875;  // 864000000 = 421875 * 2^11
    constexpr uint64_t kGuardInUnits = 148434070;        // guard * 10 / C * 2^34, rounded
    constexpr uint64_t kUnitMask = (uint64_t{1} << 34) - 1;
    constexpr uint64_t kMargin = 16;
    uint64_t scaled;
    if (denominatorBits <= 45) {
        scaled = (numerator * kOddPartOfUnitsPerDay) << (45 - denominatorBits);
    } else {
        const int shift = denominatorBits - 45;
        const uint64_t low = (numerator & 0xFFFFFFFFu) * kOddPartOfUnitsPerDay;
        const uint64_t high = (numerator >> 32) * kOddPartOfUnitsPerDay + (low >> 32);  // product / 2^32
        if (shift >= 32 + 64) {
            scaled = 0;
        } else if (shift >= 32) {
            scaled = high >> (shift - 32);
        } else {
            scaled = (high << (32 - shift)) | ((low & 0xFFFFFFFFu) >> shift);
        }
    }
    const uint64_t units = scaled + kGuardInUnits;
    const uint64_t part = units & kUnitMask;
    if (part < kMargin || part > kUnitMask + 1 - kMargin) return DPToTimeOnX87(dp);
    const uint32_t time = static_cast<uint32_t>(units >> 34);
    return time > kLastTimeOfDay ? kLastTimeOfDay : time;
}

inline Timestamp DPToTimestamp(const double& dp) {
    return Timestamp{DPToDate(dp), DPToTime(dp)};
}

}  // namespace vantor
