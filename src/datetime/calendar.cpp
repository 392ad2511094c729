// Calendar fields and the weekday filter: DP2Day, DP2Month, DP2Year,
// DP2DOW, DPDOW.
#include "datetime/calendar.h"

#include <cstring>

#include "frame/udf.h"

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

int BitLength(uint64_t value) {
    int length = 0;
    for (; value != 0; value >>= 1) ++length;
    return length;
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
    uint64_t bits;
    std::memcpy(&bits, &dp, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    const int exponent = biasedExponent - 1023;  // |dp| = 1.f * 2^exponent
    if (exponent > kLargestBinaryExponent) return false;  // also NaN and infinities
    if (exponent < kSmallestBinaryExponent) {              // also zeros and subnormals
        *milliseconds = 0;
        return true;
    }
    // |dp| * 86400000 = product * 2^scale, exactly; product < 2^70.
    const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const uint64_t lowPart = (significand & 0xFFFFFFFFu) * kOddPartOfMillisecondsPerDay;
    const uint64_t highPart = (significand >> 32) * kOddPartOfMillisecondsPerDay;
    uint64_t productLow = lowPart + (highPart << 32);
    const uint64_t productHigh = (highPart >> 32) + (productLow < lowPart ? 1 : 0);
    int scale = exponent - 52 + kTwosInMillisecondsPerDay;

    // The extended-precision product: rounded to a 64-bit significand.
    if (productHigh != 0) {
        const int drop = BitLength(productHigh);  // 1 to 6 bits
        const uint64_t dropped = productLow & ((uint64_t{1} << drop) - 1);
        uint64_t kept = (productLow >> drop) | (productHigh << (64 - drop));
        const uint64_t half = uint64_t{1} << (drop - 1);
        scale += drop;
        if (dropped > half || (dropped == half && (kept & 1) != 0)) {
            if (++kept == 0) {  // carried out of 64 bits: the value is 2^64
                kept = uint64_t{1} << 63;
                ++scale;
            }
        }
        productLow = kept;
    }

    // Then to a whole number of milliseconds. Within the exponent range
    // above, scale lies from -72 to -5, so there are always bits to round
    // away, and the result stays below 2^58.
    uint64_t magnitude;
    if (scale < -64) {
        magnitude = 0;  // below one half
    } else if (scale == -64) {
        magnitude = productLow > (uint64_t{1} << 63) ? 1 : 0;  // a tie goes to even 0
    } else {
        magnitude = ShiftRightNearestEven(productLow, -scale);
    }
    *milliseconds = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
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

bool WeekdayPassesListText(int32_t weekday, const char* list) noexcept {
    // Decimal digits of the weekday's low 16 bits: at most five.
    char text[6];
    char* begin = text + sizeof text - 1;
    *begin = '\0';
    unsigned value = static_cast<uint16_t>(weekday);
    do {
        *--begin = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::strstr(list, begin) != nullptr;
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
