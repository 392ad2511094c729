// Day-number conversions: worked values, the exact constants, round trips
// over whole ranges, and the results chosen where the arithmetic has none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "datetime/daynumber.h"
#include "fpu_control.h"
#include "frame/entry_points.h"

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

TEST(DayNumberConstants, AreTheExactExtendedBitPatterns) {
    struct Pattern { long double value; uint64_t significand; uint16_t exponent; };
    const Pattern patterns[] = {
        {vantor::kDaysPerMillisecond, 0xC6D750EBFA67B90DULL, 0x3FE4},
        {vantor::kTruncationGuard, 0xAFEBFF0BCB24AAFFULL, 0x3FDA},
    };
    for (const Pattern& p : patterns) {
        unsigned char bytes[sizeof(long double)] = {};
        std::memcpy(bytes, &p.value, 10);
        uint64_t significand;
        uint16_t exponent;
        std::memcpy(&significand, bytes, 8);
        std::memcpy(&exponent, bytes + 8, 2);
        EXPECT_EQ(significand, p.significand);
        EXPECT_EQ(exponent, p.exponent);
    }
    // C is the extended value nearest 1/86400000, the guard nearest 1e-11.
    EXPECT_LT(std::fabs(vantor::kDaysPerMillisecond * 86400000.0L - 1.0L), 1e-18L);
    EXPECT_LT(std::fabs(vantor::kTruncationGuard * 1e11L - 1.0L), 1e-18L);
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
// sanitizers, which make each one far slower).
#ifdef VANTOR_SANITIZE
constexpr uint32_t kSweepStride = 97;
#else
constexpr uint32_t kSweepStride = 1;
#endif
constexpr uint32_t kX87Stride = 61;
TEST(DayNumberSweep, EveryTimeOfDayRoundTrips) {
    constexpr uint32_t kUnitsPerDay = 864000000u;
    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    std::vector<uint32_t> failures(threads, 0), firstFailure(threads, 0);
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < threads; ++w) {
        workers.emplace_back([&, w] {
            const uint32_t begin = static_cast<uint32_t>(uint64_t{kUnitsPerDay} * w / threads);
            const uint32_t end = static_cast<uint32_t>(uint64_t{kUnitsPerDay} * (w + 1) / threads);
            for (ISC_TIME t = begin; t < end; t += kSweepStride) {
                const double dp = T2DP(&t);
                if (DP2T(&dp) != t && failures[w]++ == 0) firstFailure[w] = t;
                if (t % kX87Stride != 0) continue;
                // Every 61st time also against the x87 forms that the
                // integer forms stand in for: T2DP itself, and DP2T of the
                // fraction nearest to (t - 0.00864) / 864000000, whose
                // scaled value lies next to a whole number (the x87's case).
                const double nearWhole = static_cast<double>((t - 0.00864L) / 864000000.0L);
                if ((Bits(dp) != Bits(vantor::TimeToDPOnX87(t)) ||
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
            // TS2DP against its x87 form, on this day and on the day as far
            // before 1899-12-30 (where the fraction is taken off the day).
            for (const ISC_DATE server : {date, static_cast<ISC_DATE>(15018 - day)}) {
                const ISC_TIMESTAMP in{server, time};
                ASSERT_EQ(Bits(TS2DP(&in)), Bits(vantor::TimestampToDPOnX87(in))) << server << " " << time;
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

TEST(DayNumberFpu, CallerControlWordIsKeptAndTruncationStaysTowardZero) {
    vantor_test::ScopedControlWord scoped(vantor_test::kRoundUpDoublePrecision);
    const double up = 1.9, down = -1.9, justBelow = 2.0 - 1e-12;
    EXPECT_EQ(DP2D(&up), 15019);
    EXPECT_EQ(DP2D(&down), 15017);
    EXPECT_EQ(DP2D(&justBelow), 15019);
    EXPECT_EQ(vantor_test::ReadControlWord(), vantor_test::kRoundUpDoublePrecision);
    const ISC_TIME t = 123456789;
    double dp = T2DP(&t);
    (void)DP2T(&dp);
    const ISC_TIMESTAMP ts{51544, 1};
    (void)TS2DP(&ts);
    (void)DP2TS(&dp);
    const ISC_DATE d = 51544;
    (void)D2DP(&d);
    EXPECT_EQ(vantor_test::ReadControlWord(), vantor_test::kRoundUpDoublePrecision);
    // The bit-level truncation ignores the rounding mode entirely.
    EXPECT_EQ(vantor::TruncateToInt64(2.999999L), 2);
    EXPECT_EQ(vantor::TruncateToInt64(-2.999999L), -2);
    EXPECT_EQ(vantor::TruncateToInt64(-0.5L), 0);
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
