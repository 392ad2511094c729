// Exact x87 extended-precision helpers shared by the date and time code.
//
// Every intermediate of the date and time arithmetic is a long double (the
// x87 80-bit format on both i386 and x86-64), and a result is rounded to
// double exactly once, by RoundToDouble. The float-to-integer rule is
// truncation toward zero, done here on the bit pattern so that it never
// depends on, and never touches, the calling thread's x87 control word.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

namespace vantor {

static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 extended format");

// The value of an extended-precision bit pattern (sign 0): the 64-bit
// significand, explicit integer bit included, and the biased exponent.
// Scaling an integer by powers of two is exact, so the constant is the
// pattern itself.
constexpr long double ExtendedFromBits(uint64_t significand, unsigned biasedExponent) {
    long double value = static_cast<long double>(significand);
    int shift = static_cast<int>(biasedExponent) - 16383 - 63;
    for (; shift > 0; --shift) value *= 2.0L;
    for (; shift < 0; ++shift) value *= 0.5L;
    return value;
}

// The x87 "integer indefinite": what the FPU stores for a value with no
// 64-bit integer. TruncateToInt64 gives it for NaN, infinities and
// magnitudes of 2^63 or more (for exactly -2^63 it is also the true value).
constexpr int64_t kIntegerIndefinite = std::numeric_limits<int64_t>::min();

// Truncation toward zero to a signed 64-bit integer, at extended precision,
// whatever rounding mode the thread has set.
inline int64_t TruncateToInt64(long double x) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &x, sizeof bytes);
    uint64_t significand;
    uint16_t signAndExponent;
    std::memcpy(&significand, bytes, 8);
    std::memcpy(&signAndExponent, bytes + 8, 2);
    const int exponent = (signAndExponent & 0x7FFF) - 16383;  // x = significand * 2^(exponent-63)
    if ((signAndExponent & 0x7FFF) == 0x7FFF || exponent >= 63) return kIntegerIndefinite;
    if (exponent < 0) return 0;
    const uint64_t magnitude = significand >> (63 - exponent);
    return (signAndExponent & 0x8000) ? static_cast<int64_t>(0 - magnitude)
                                      : static_cast<int64_t>(magnitude);
}

// Whether TruncateToInt64 has a true value for x (finite, |x| < 2^63).
inline bool HasInt64Truncation(long double x) {
    return x > -9223372036854775808.0L && x < 9223372036854775808.0L;
}

// Rounds an extended value to double once. The volatile store keeps the
// i386 build from handing back the unrounded register value.
inline double RoundToDouble(long double x) {
    volatile double rounded = static_cast<double>(x);
    return rounded;
}

}  // namespace vantor
