// Day-number conversions: worked values, the exact constants, round trips
// over whole ranges, and the results chosen where the arithmetic has none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "datetime/daynumber.h"
#include "legacy/entry_points.h"

namespace {

uint64_t Bits(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, 8);
    return bits;
}

ISC_TIMESTAMP RoundTrip(ISC_DATE date, ISC_TIME time) {
    const ISC_TIMESTAMP in{date, time};
    double dp = TS2DP(&in);
    ISC_TIMESTAMP out;
    std::memcpy(&out, DP2TS(&dp), sizeof out);
    return out;
}

// A 64 x 64 -> 128-bit product from 32-bit limbs (i386 has no 128-bit type).
struct Wide { uint64_t high, low; };
Wide Multiply(uint64_t a, uint64_t b) {
    const uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32, bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh, highLow = aHigh * bLow;
    const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
    return Wide{aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
                (middle << 32) | (lowLow & 0xFFFFFFFFu)};
}

// Whether an extended value is the one nearest 1/divisor: with the value
// s * 2^-k (s its 64-bit significand), |2^k - s * divisor| <= divisor / 2.
bool IsNearestReciprocal(long double value, uint64_t divisor) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &value, sizeof bytes);
    uint64_t significand;
    uint16_t exponent;
    std::memcpy(&significand, bytes, 8);
    std::memcpy(&exponent, bytes + 8, 2);
    const int k = 16383 + 63 - exponent;  // 2^k as a 128-bit number needs 64 <= k < 128
    if (k < 64 || k >= 128) return false;
    const Wide product = Multiply(significand, divisor);
    const Wide power{uint64_t{1} << (k - 64), 0};
    // |power - product| as 128 bits.
    const bool above = product.high > power.high || (product.high == power.high && product.low > power.low);
    const Wide& big = above ? product : power;
    const Wide& small = above ? power : product;
    const uint64_t differenceLow = big.low - small.low;
    const uint64_t differenceHigh = big.high - small.high - (big.low < small.low ? 1 : 0);
    return differenceHigh == 0 && differenceLow <= divisor / 2;
}

TEST(DayNumberConstants, AreTheNearestExtendedValues) {
    EXPECT_TRUE(IsNearestReciprocal(vantor::kDaysPerMillisecond, 86400000));
    EXPECT_TRUE(IsNearestReciprocal(vantor::kTruncationGuard, 100000000000));
    // The check tells the nearest value from its neighbours.
    EXPECT_FALSE(IsNearestReciprocal(std::nextafter(vantor::kDaysPerMillisecond, 1.0L), 86400000));
    EXPECT_FALSE(IsNearestReciprocal(std::nextafter(vantor::kTruncationGuard, 0.0L), 100000000000));
}

TEST(DayNumber, WorkedValues) {
    const ISC_DATE y2000 = 51544, zero = 0;
    EXPECT_EQ(Bits(D2DP(&y2000)), Bits(36526.0));
    EXPECT_EQ(Bits(D2DP(&zero)), Bits(-15018.0));
    const ISC_TIME noon = 432000000, fullDay = 864000000;
    EXPECT_EQ(Bits(T2DP(&noon)), Bits(0.5));
    EXPECT_EQ(Bits(T2DP(&fullDay)), Bits(1.0));
    const ISC_TIMESTAMP ts{51544, 648000000};
    EXPECT_EQ(Bits(TS2DP(&ts)), Bits(36526.75));
    const double x = 36526.75;
    EXPECT_EQ(DP2D(&x), 51544);
    EXPECT_EQ(DP2T(&x), 648000000u);
    double arg = 36526.75;
    ISC_TIMESTAMP* result = DP2TS(&arg);
    EXPECT_EQ(static_cast<void*>(result), static_cast<void*>(&arg));
    ISC_TIMESTAMP stored;
    std::memcpy(&stored, &arg, sizeof stored);
    EXPECT_EQ(stored.timestamp_date, 51544);
    EXPECT_EQ(stored.timestamp_time, 648000000u);
}

TEST(DayNumber, DayIsCutNotRounded) {
    const double almost = 0.99999999, one = 1.0, integral = 36526.0;
    EXPECT_EQ(DP2D(&almost), 15018);
    EXPECT_EQ(DP2D(&one), 15019);
    EXPECT_EQ(DP2T(&integral), 0u);
}

TEST(DayNumber, FractionsWithinTheGuardOfMidnight) {
    for (double f : {0.9999999999, 0.99999999995, 0.99999999999}) {
        const double x = 100.0 + f - 100.0;  // exercise a value built by arithmetic too
        EXPECT_EQ(DP2T(&f), vantor::kLastTimeOfDay) << f;
        EXPECT_EQ(DP2T(&x), vantor::kLastTimeOfDay) << x;
    }
    // Past the guard the raw result is 864000000; it is held at the last
    // time of the same day so that DP2TS keeps DP2D's day.
    const double nearMidnight = std::nextafter(0.99999999999, 1.0);
    const double nearMidnightLater = std::nextafter(1.0, 0.0);
    for (double x : {nearMidnight, nearMidnightLater}) {
        EXPECT_EQ(DP2T(&x), vantor::kLastTimeOfDay);
        double arg = x;
        const ISC_TIMESTAMP ts = *DP2TS(&arg);
        EXPECT_EQ(ts.timestamp_date, 15018);
        EXPECT_EQ(ts.timestamp_time, vantor::kLastTimeOfDay);
    }
}

TEST(DayNumber, NegativeValuesUseTheMagnitudeOfTheFraction) {
    const ISC_TIMESTAMP dec29at6{15017, 216000000};
    EXPECT_EQ(Bits(TS2DP(&dec29at6)), Bits(-0.75));
    const double x = -0.75;
    EXPECT_EQ(DP2D(&x), 15018);
    EXPECT_EQ(DP2T(&x), 648000000u);
    // Every negative value gives a valid time, the same as its magnitude.
    for (double v : {-0.5, -1.25, -36526.1, -693593.999, -1e9 - 0.125}) {
        const double magnitude = -v;
        EXPECT_EQ(DP2T(&v), DP2T(&magnitude)) << v;
        EXPECT_LE(DP2T(&v), vantor::kLastTimeOfDay);
    }
}

TEST(DayNumber, WrapsInThirtyTwoBits) {
    const ISC_DATE low = std::numeric_limits<int32_t>::min() + 5;
    // min + 5 - 15018 wraps to a large positive day.
    EXPECT_EQ(D2DP(&low), static_cast<double>(std::numeric_limits<int32_t>::max() - 15012));
    const double big = 4294967296.0 + 7.5;  // 2^32 + 7.5
    EXPECT_EQ(DP2D(&big), 7 + 15018);
    const double negative = -3000000000.25;
    EXPECT_EQ(DP2D(&negative), static_cast<ISC_DATE>(static_cast<uint32_t>(-3000000000LL + 15018)));
}

TEST(DayNumber, NonFiniteAndHugeValuesHaveAFixedResult) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                             inf, -inf, 9223372036854775808.0, -9223372036854775808.0, 1e300, -1e300};
    for (double x : values) {
        // The integer indefinite has zero low bits, so the day is the offset.
        EXPECT_EQ(DP2D(&x), 15018) << x;
        EXPECT_EQ(DP2T(&x), 0u) << x;
        double arg = x;
        const ISC_TIMESTAMP ts = *DP2TS(&arg);
        EXPECT_EQ(ts.timestamp_date, 15018);
        EXPECT_EQ(ts.timestamp_time, 0u);
    }
    // Just below 2^63 the truncation is exact.
    const double below = 9223372036854774784.0;  // 2^63 - 1024
    EXPECT_EQ(DP2D(&below), static_cast<ISC_DATE>(static_cast<uint32_t>(9223372036854774784ULL + 15018)));
}

TEST(DayNumber, NullArgumentsDoNotFault) {
    EXPECT_EQ(D2DP(nullptr), 0.0);
    EXPECT_EQ(T2DP(nullptr), 0.0);
    EXPECT_EQ(TS2DP(nullptr), 0.0);
    EXPECT_EQ(DP2D(nullptr), 0);
    EXPECT_EQ(DP2T(nullptr), 0u);
    EXPECT_EQ(DP2TS(nullptr), nullptr);
}

// The guard makes every time of day survive the trip through a double.
// Split over threads: 864 million conversions (every 97th under the
// sanitizers, which make each one far slower). VANTOR_SWEEP_STRIDE sets
// another stride, for a run under an emulator.
#ifdef VANTOR_SANITIZE
constexpr uint32_t kDefaultSweepStride = 97;
#else
constexpr uint32_t kDefaultSweepStride = 1;
#endif
uint32_t SweepStride() {
    const char* stride = std::getenv("VANTOR_SWEEP_STRIDE");
    const unsigned long value = stride ? std::strtoul(stride, nullptr, 10) : 0;
    return value > 0 && value < 1000000 ? static_cast<uint32_t>(value) : kDefaultSweepStride;
}
constexpr uint32_t kX87Stride = 61;
// T2DP and TS2DP are worked out in integers on i386 only; on x86-64 they are
// their x87 forms.
constexpr bool kIntegerTimeToDP = sizeof(void*) == 4;
TEST(DayNumberSweep, EveryTimeOfDayRoundTrips) {
    constexpr uint32_t kUnitsPerDay = 864000000u;
    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    std::vector<uint32_t> failures(threads, 0), firstFailure(threads, 0);
    const uint32_t stride = SweepStride();
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < threads; ++w) {
        workers.emplace_back([&, w] {
            const uint32_t begin = static_cast<uint32_t>(uint64_t{kUnitsPerDay} * w / threads);
            const uint32_t end = static_cast<uint32_t>(uint64_t{kUnitsPerDay} * (w + 1) / threads);
            for (ISC_TIME t = begin; t < end; t += stride) {
                const double dp = T2DP(&t);
                if (DP2T(&dp) != t && failures[w]++ == 0) firstFailure[w] = t;
                if (t % kX87Stride != 0) continue;
                // Every 61st time also against the x87 forms that the
                // integer forms stand in for: T2DP itself (on i386), and
                // DP2T of the fraction nearest to (t - 0.00864) / 864000000,
                // whose scaled value lies next to a whole number.
                const double nearWhole = static_cast<double>((t - 0.00864L) / 864000000.0L);
                if (((kIntegerTimeToDP && Bits(dp) != Bits(vantor::TimeToDPOnX87(t))) ||
                     DP2T(&nearWhole) != vantor::DPToTimeOnX87(nearWhole)) &&
                    failures[w]++ == 0)
                    firstFailure[w] = t;
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    for (unsigned w = 0; w < threads; ++w) EXPECT_EQ(failures[w], 0u) << "first at " << firstFailure[w];
}

TEST(DayNumberSweep, TimestampsRoundTripUpToDay131071) {
    uint32_t state = 12345;
    auto next = [&state] { state = state * 1664525u + 1013904223u; return state; };
    for (int32_t day = 0; day <= 131071; ++day) {
        const ISC_DATE date = day + 15018;
        const ISC_TIME times[] = {0, 863999999, next() % 864000000u, next() % 864000000u,
                                  next() % 864000000u, (next() % 86400000u) * 10u};
        for (ISC_TIME time : times) {
            const ISC_TIMESTAMP out = RoundTrip(date, time);
            ASSERT_EQ(out.timestamp_date, date) << day << " " << time;
            ASSERT_EQ(out.timestamp_time, time) << day << " " << time;
            // TS2DP against its x87 form (on i386), on this day and on the
            // day as far before 1899-12-30 (where the fraction is taken off).
            for (const ISC_DATE server : {date, static_cast<ISC_DATE>(15018 - day)}) {
                const ISC_TIMESTAMP in{server, time};
                if (kIntegerTimeToDP) { ASSERT_EQ(Bits(TS2DP(&in)), Bits(vantor::TimestampToDPOnX87({server, time}))); }
            }
        }
    }
}

TEST(DayNumberSweep, BeyondDay131072TheTimeMayComeBackOneUnitLow) {
    const ISC_TIMESTAMP out = RoundTrip(240799 + 15018, 311571982);
    EXPECT_EQ(out.timestamp_date, 240799 + 15018);
    EXPECT_EQ(out.timestamp_time, 311571981u);
    // Never more than one unit, and never high, up to the year 9999.
    uint32_t state = 99;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1664525u + 1013904223u;
        const int32_t day = 131072 + static_cast<int32_t>(state % (2958465 - 131072));
        state = state * 1664525u + 1013904223u;
        const ISC_TIME time = state % 864000000u;
        const ISC_TIMESTAMP back = RoundTrip(day + 15018, time);
        ASSERT_EQ(back.timestamp_date, day + 15018);
        ASSERT_LE(back.timestamp_time, time);
        ASSERT_GE(back.timestamp_time + 1, time);
    }
}

TEST(TruncateToInt64, MatchesAPlainReference) {
    // Reference: truncl under the default rounding mode is exact.
    uint64_t state = 7;
    for (int i = 0; i < 100000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const int shift = static_cast<int>(state >> 58);          // 0..63
        const long double x = std::ldexp(static_cast<long double>(state >> 11) / 9007199254740992.0L, shift)
                              * ((state & 1) ? -1 : 1);
        if (std::fabs(x) >= 9223372036854775808.0L) continue;
        EXPECT_EQ(vantor::TruncateToInt64(x), static_cast<int64_t>(std::trunc(x))) << static_cast<double>(x);
    }
    EXPECT_EQ(vantor::TruncateToInt64(-9223372036854775808.0L), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(vantor::TruncateToInt64(9223372036854775807.0L), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(vantor::TruncateToInt64(9223372036854775808.0L), vantor::kIntegerIndefinite);
}

}  // namespace
