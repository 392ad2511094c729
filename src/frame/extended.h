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

// The calling thread's x87 control word.
inline uint16_t ReadControlWord() noexcept {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

inline void WriteControlWord(uint16_t word) noexcept {
    __asm__ volatile("fldcw %0" : : "m"(word) : "memory");
}

// The x87 settings of the extended-precision work, for the lifetime of one
// of these objects.
//
// Linux: the server's threads run the x87 with a 64-bit significand, and
// the work takes the caller's control word as it is (IsDefaultArithmetic
// picks its form); the object does nothing.
//
// Windows: the server's threads run with MSVC's default word 0x027F, a
// 53-bit significand, under which the same steps give other bits. The
// object sets a 64-bit significand and rounding to nearest (the caller's
// exception masks stay) and puts the caller's word back when it ends: a
// control-word read and a compare a call, and two loads of the word when
// the caller's differs. The operands of the x87 work pass through Operand
// after the object is made, so that none of it is computed before the word
// is set; its result leaves through RoundToDouble's store, or a call, before
// the word is put back.
class ExtendedArithmetic {
  public:
#if defined(_WIN32)
    ExtendedArithmetic() noexcept : caller_(ReadControlWord()) {
        const uint16_t extended = static_cast<uint16_t>((caller_ & ~0x0F00u) | 0x0300u);
        if (extended != caller_) WriteControlWord(extended);
    }
    ~ExtendedArithmetic() {
        if ((caller_ & 0x0F00u) != 0x0300u) WriteControlWord(caller_);
    }
    template <typename Value>
    Value Operand(Value value) const noexcept {
        __asm__ volatile("" : "+m"(value));
        return value;
    }

  private:
    uint16_t caller_;
#else
    ExtendedArithmetic() noexcept {}
    template <typename Value>
    Value Operand(Value value) const noexcept {
        return value;
    }
#endif
    ExtendedArithmetic(const ExtendedArithmetic&) = delete;
    ExtendedArithmetic& operator=(const ExtendedArithmetic&) = delete;
};

// Whether a control word selects the platform's default arithmetic: a
// 64-bit significand (PC = 11), rounding to nearest (RC = 00) and every
// exception masked. Under it the date and time conversions may compute the
// x87's results in integers; under any other word they run on the x87 itself,
// so that the caller's precision, rounding and traps act exactly as they do
// on the x87 arithmetic.
inline bool IsDefaultArithmetic(uint16_t controlWord) noexcept {
    return (controlWord & 0x0F3F) == 0x033F;
}

inline uint64_t BitsOfDouble(const double& x) noexcept {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// The fields of a double's bit pattern. For a normal number the value is
// Significand * 2^(Biased - 1075), the hidden bit included; zeros and
// subnormals have Biased 0 (and no hidden bit), infinities and NaN 0x7FF.
// Every reading of a double's bits goes through this one decoding.
struct DoubleFields {
    bool Negative;
    int Biased;
    uint64_t Fraction;  // the 52 stored bits
    uint64_t Significand() const noexcept {
        return Biased == 0 ? Fraction : Fraction | (uint64_t{1} << 52);
    }
};

inline DoubleFields FieldsOfDouble(const double& x) noexcept {
    const uint64_t bits = BitsOfDouble(x);
    return DoubleFields{(bits >> 63) != 0, static_cast<int>((bits >> 52) & 0x7FF),
                        bits & ((uint64_t{1} << 52) - 1)};
}

inline double DoubleOfBits(uint64_t bits) noexcept {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// A 128-bit unsigned number as two halves.
struct Wide {
    uint64_t High;
    uint64_t Low;
};

// The full product of two 64-bit numbers.
inline Wide MultiplyWide(uint64_t a, uint64_t b) noexcept {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Product;
    const Product product = static_cast<Product>(a) * b;
    return Wide{static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
#else
    const uint64_t aLow = static_cast<uint32_t>(a), aHigh = a >> 32;
    const uint64_t bLow = static_cast<uint32_t>(b), bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh;
    const uint64_t highLow = aHigh * bLow, highHigh = aHigh * bHigh;
    const uint64_t middle = (lowLow >> 32) + static_cast<uint32_t>(lowHigh) + static_cast<uint32_t>(highLow);
    return Wide{highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
                (middle << 32) | static_cast<uint32_t>(lowLow)};
#endif
}

// A nonzero wide number rounded to a 64-bit significand, to nearest with
// ties to even, as the x87 rounds a result: the significand (top bit set)
// is returned and value = significand * 2^*exponent.
inline uint64_t RoundWideToExtended(Wide value, int* exponent) noexcept {
    if (value.High == 0) {
        const int shift = __builtin_clzll(value.Low);
        *exponent = -shift;
        return value.Low << shift;
    }
    const int drop = 64 - __builtin_clzll(value.High);  // 1 to 64 bits go
    uint64_t kept, guard, sticky;
    if (drop == 64) {
        kept = value.High;
        guard = value.Low >> 63;
        sticky = value.Low << 1;
    } else {
        kept = (value.High << (64 - drop)) | (value.Low >> drop);
        guard = (value.Low >> (drop - 1)) & 1;
        sticky = value.Low & ((uint64_t{1} << (drop - 1)) - 1);
    }
    *exponent = drop;
    if (guard != 0 && (sticky != 0 || (kept & 1) != 0)) {
        if (++kept == 0) {  // carried out of 64 bits
            kept = uint64_t{1} << 63;
            ++*exponent;
        }
    }
    return kept;
}

// significand * 2^exponent (significand with its top bit set, the value a
// normal double) rounded to double, to nearest with ties to even: what the
// x87 stores for an extended value under its default settings.
inline double DoubleOfExtended(uint64_t significand, int exponent, bool negative) noexcept {
    uint64_t kept = significand >> 11;
    const uint32_t dropped = static_cast<uint32_t>(significand) & 0x7FF;
    if (dropped > 0x400 || (dropped == 0x400 && (kept & 1) != 0)) ++kept;
    int scale = exponent + 11;  // value = kept * 2^scale, kept from 2^52 to 2^53
    if ((kept >> 53) != 0) {
        kept >>= 1;
        ++scale;
    }
    const uint64_t biased = static_cast<uint64_t>(scale + 52 + 1023);
    return DoubleOfBits((uint64_t{negative} << 63) | (biased << 52) | (kept & ((uint64_t{1} << 52) - 1)));
}

}  // namespace vantor
