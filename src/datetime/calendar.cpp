// The exact day count of a DP value, the weekday list's text search and
// the day count of a calendar date.
#include "datetime/calendar.h"

namespace vantor {

namespace {

// 86400000 = 84375 * 2^10, so dp * 86400000 is the significand of dp times
// 84375, scaled by a power of two.
constexpr uint32_t kOddPartOfMillisecondsPerDay = 84375;
constexpr int kTwosInMillisecondsPerDay = 10;

// Below 2^-30 days (0.08 ms) every value rounds to 0 ms; from 2^31 days on
// there is no 32-bit day count.
constexpr int kSmallestBinaryExponent = -30;
constexpr int kLargestBinaryExponent = 30;

constexpr uint16_t kMonthLengths[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

bool IsLeapYear(int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// value / 2^shift rounded to nearest, ties to even, for shift 1 to 63.
uint64_t ShiftRightNearestEven(uint64_t value, int shift) {
    const uint64_t quotient = value >> shift;
    const uint64_t remainder = value & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    const bool up = remainder > half || (remainder == half && (quotient & 1) != 0);
    return quotient + (up ? 1 : 0);
}

// Floor division by a positive divisor.
int64_t FloorDivide(int64_t dividend, int64_t divisor) {
    const int64_t quotient = dividend / divisor;
    return (dividend % divisor < 0) ? quotient - 1 : quotient;
}

}  // namespace

bool RoundedMillisecondsOfDP(double dp, int64_t* milliseconds) noexcept {
    const DoubleFields fields = FieldsOfDouble(dp);
    const int exponent = fields.Biased - 1023;  // |dp| = 1.f * 2^exponent
    if (exponent > kLargestBinaryExponent) return false;  // also NaN and infinities
    if (exponent < kSmallestBinaryExponent) {              // also zeros and subnormals
        *milliseconds = 0;
        return true;
    }
    // |dp| * 86400000 exactly (below 2^70), then rounded to a 64-bit
    // significand as the x87 rounds the product: rounded * 2^scale.
    int shift;
    const uint64_t rounded =
        RoundWideToExtended(MultiplyWide(fields.Significand(), kOddPartOfMillisecondsPerDay), &shift);
    const int scale = shift + exponent - 52 + kTwosInMillisecondsPerDay;

    // Then to a whole number of milliseconds. The exact product is 2^68 or
    // more, so `rounded` has dropped 5 or 6 bits, and scale lies from -67
    // to -6: there are always bits to round away.
    uint64_t magnitude;
    if (scale < -64) {
        magnitude = 0;  // below one half
    } else if (scale == -64) {
        magnitude = rounded > (uint64_t{1} << 63) ? 1 : 0;  // a tie goes to even 0
    } else {
        magnitude = ShiftRightNearestEven(rounded, -scale);
    }
    *milliseconds = fields.Negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

int32_t DayCountOfDPExact(double dp) noexcept {
    int64_t milliseconds;
    if (!RoundedMillisecondsOfDP(dp, &milliseconds)) return kDayCountOutOfRange;
    // Truncated toward zero. Below 2^31 days doubles lie at least 20 ms
    // apart, so no value rounds up to 2^31 days and the quotient fits.
    const int64_t days = milliseconds / kMillisecondsPerDay;
    return static_cast<int32_t>(static_cast<uint32_t>(days) +
                                static_cast<uint32_t>(kDayCountOfDPDayZero));
}

bool WeekdayPassesListText(int32_t weekday, std::string_view list) noexcept {
    // Decimal digits of the weekday's low 16 bits: at most five.
    char text[5];
    char* begin = text + sizeof text;
    unsigned value = static_cast<uint16_t>(weekday);
    do {
        *--begin = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return list.find(std::string_view(begin, static_cast<size_t>(text + sizeof text - begin))) !=
           std::string_view::npos;
}

int64_t DayCountOfDate(int64_t year, int month, int day) noexcept {
    const int64_t before = year - 1;  // whole years since 0001-01-01
    int64_t dayCount = 365 * before + FloorDivide(before, 4) - FloorDivide(before, 100) +
                       FloorDivide(before, 400);
    const uint16_t* lengths = kMonthLengths[IsLeapYear(year) ? 1 : 0];
    for (int m = 1; m < month; ++m) dayCount += lengths[m - 1];
    return dayCount + day;
}

}  // namespace vantor
