// Calendar fields and the weekday filter: worked values, every day against a
// plain days-to-civil reference, the millisecond rounding against the x87
// itself, the weekday lists, and the fixed results outside the day range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "datetime/calendar.h"
#include "datetime/daynumber.h"
#include "fpu_control.h"
#include "legacy/entry_points.h"

namespace {

using vantor::CalendarDate;

struct Fields {
    int year, month, day, weekday;
    bool operator==(const Fields& o) const {
        return year == o.year && month == o.month && day == o.day && weekday == o.weekday;
    }
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << f.year << '-' << f.month << '-' << f.day << " weekday " << f.weekday;
}

// Through the entry points, as the server calls them.
Fields FieldsOfDP(double dp) {
    return Fields{DP2Year(&dp), DP2Month(&dp), DP2Day(&dp), DP2DOW(&dp)};
}

// Reference: the civil date of a count of days since 1970-01-01, by the
// era-of-400-years method (independent of the cycle split under test).
struct Civil {
    int64_t year;
    int month, day;
};
Civil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return Civil{yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Day count 719163 is 1970-01-01, a Thursday.
constexpr int64_t kDayCountOf1970 = 719163;

Fields ReferenceFieldsOfDayCount(int64_t dayCount) {
    const Civil c = CivilFromDays(dayCount - kDayCountOf1970);
    int64_t weekday = (dayCount - kDayCountOf1970 + 3) % 7;
    if (weekday < 0) weekday += 7;
    return Fields{static_cast<uint16_t>(c.year), c.month, c.day, static_cast<int>(weekday) + 1};
}

Fields FieldsOfDayCount(int32_t dayCount) {
    const CalendarDate d = vantor::CalendarDateOfDayCount(dayCount);
    return Fields{d.Year, d.Month, d.Day, vantor::WeekdayOfDayCount(dayCount)};
}

// The milliseconds the x87 gives under its default settings: extended
// product, then rounding to an integer to nearest.
int64_t HardwareMilliseconds(double dp) {
    return static_cast<int64_t>(std::nearbyint(static_cast<long double>(dp) * 86400000.0L));
}

TEST(Calendar, WorkedValues) {
    EXPECT_EQ(FieldsOfDP(0.0), (Fields{1899, 12, 30, 6}));
    EXPECT_EQ(FieldsOfDP(36526.75), (Fields{2000, 1, 1, 6}));
    EXPECT_EQ(FieldsOfDP(2958465.0), (Fields{9999, 12, 31, 5}));
    EXPECT_EQ(FieldsOfDP(-0.75), (Fields{1899, 12, 30, 6}));  // integer part toward zero
    EXPECT_EQ(FieldsOfDP(-693593.0), (Fields{1, 1, 1, 1}));
    EXPECT_EQ(FieldsOfDP(-693593.5), (Fields{1, 1, 1, 1}));
    EXPECT_EQ(FieldsOfDP(-693594.0), (Fields{0, 0, 0, 0}));
    EXPECT_EQ(FieldsOfDP(45351.5), (Fields{2024, 2, 29, 4}));  // a leap day, a Thursday
}

TEST(Calendar, MillisecondRoundingComesBeforeTheDay) {
    // Less than half a millisecond before midnight is the next day, while
    // DP2D cuts the same value to its own day.
    const double almostMidnight = 0.9999999999;
    EXPECT_EQ(FieldsOfDP(almostMidnight), (Fields{1899, 12, 31, 7}));
    EXPECT_EQ(DP2D(&almostMidnight), 15018);
    const double halfMs = 0.5 / 86400000.0;
    EXPECT_EQ(vantor::DayCountOfDP(1.0 - halfMs * 0.99), 693595);
    EXPECT_EQ(vantor::DayCountOfDP(1.0 - halfMs * 1.01), 693594);
    EXPECT_EQ(vantor::DayCountOfDP(-(1.0 - halfMs * 0.99)), 693593);
    EXPECT_EQ(vantor::DayCountOfDP(-(1.0 - halfMs * 1.01)), 693594);
}

TEST(Calendar, WeekdaysBeforeTheFirstDay) {
    // Day counts 0, -5 and -6: the truncated remainder gives 0, -5 and 1.
    EXPECT_EQ(vantor::WeekdayOfDayCount(0), 0);
    EXPECT_EQ(vantor::WeekdayOfDayCount(-5), -5);
    EXPECT_EQ(vantor::WeekdayOfDayCount(-6), 1);
    const double dayCountMinus5 = -693599.0, dayCountMinus1 = -693595.0;
    EXPECT_EQ(DP2DOW(&dayCountMinus5), -5);
    EXPECT_EQ(DP2DOW(&dayCountMinus1), -1);
    EXPECT_EQ(FieldsOfDP(dayCountMinus5), (Fields{0, 0, 0, -5}));
    // DPDOW writes them as unsigned 16-bit numbers.
    EXPECT_EQ(DPDOW(&dayCountMinus5, "x65531x"), 1);
    EXPECT_EQ(DPDOW(&dayCountMinus1, "65535"), 1);
    EXPECT_EQ(DPDOW(&dayCountMinus5, "1234567"), 0);
    EXPECT_EQ(DPDOW(&dayCountMinus5, "-5"), 0);
}

TEST(Calendar, WeekdayLists) {
    // Two weeks from Monday 2024-01-01 (DP 45292).
    for (int i = 0; i < 14; ++i) {
        const double dp = 45292.0 + i + 0.25;
        const int weekday = i % 7 + 1;
        SCOPED_TRACE(weekday);
        EXPECT_EQ(DP2DOW(&dp), weekday);
        EXPECT_EQ(DPDOW(&dp, ""), 1);
        EXPECT_EQ(DPDOW(&dp, nullptr), 1);
        EXPECT_EQ(DPDOW(&dp, "0"), 1);
        EXPECT_EQ(DPDOW(&dp, "00"), 0);
        EXPECT_EQ(DPDOW(&dp, "01"), weekday == 1 ? 1 : 0);
        EXPECT_EQ(DPDOW(&dp, "135"), weekday % 2 == 1 && weekday < 7 ? 1 : 0);
        EXPECT_EQ(DPDOW(&dp, "67"), weekday >= 6 ? 1 : 0);
        EXPECT_EQ(DPDOW(&dp, "1,2,3,4,5"), weekday <= 5 ? 1 : 0);
        EXPECT_EQ(DPDOW(&dp, "8 9 x"), 0);
        const std::string own(1, static_cast<char>('0' + weekday));
        EXPECT_EQ(DPDOW(&dp, ("abc" + own).c_str()), 1);
    }
}

TEST(Calendar, NullArgumentsDoNotFault) {
    EXPECT_EQ(DP2Day(nullptr), 0);
    EXPECT_EQ(DP2Month(nullptr), 0);
    EXPECT_EQ(DP2Year(nullptr), 0);
    EXPECT_EQ(DP2DOW(nullptr), 0);
    EXPECT_EQ(DPDOW(nullptr, "1234567"), 0);
}

TEST(Calendar, ValuesWithoutADayCountCountAsDayZero) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                             inf, -inf, 2147483648.0, -2147483648.0, 1e300, -1e300};
    for (double dp : values) {
        SCOPED_TRACE(dp);
        EXPECT_EQ(vantor::DayCountOfDP(dp), 0);
        EXPECT_EQ(FieldsOfDP(dp), (Fields{0, 0, 0, 0}));
        EXPECT_EQ(DPDOW(&dp, "1234567"), 0);
        EXPECT_EQ(DPDOW(&dp, ""), 1);
    }
    // The last doubles below 2^31 days, 20 ms short of it, still have one.
    EXPECT_EQ(vantor::DayCountOfDP(std::nextafter(-2147483648.0, 0.0)), -2147483647 + 693594);
    EXPECT_EQ(vantor::DayCountOfDP(-2147483647.0), -2147483647 + 693594);
    EXPECT_EQ(vantor::DayCountOfDP(2147483647.0 - 693594), INT32_MAX);
    // Above that the 32-bit day count wraps to negative: no calendar date.
    EXPECT_EQ(vantor::DayCountOfDP(2147483647.0 - 693593), INT32_MIN);
    EXPECT_EQ(FieldsOfDP(2147483647.0 - 693593), (Fields{0, 0, 0, static_cast<int>((INT64_C(-2147483648) - 1) % 7 + 1)}));
}

// Every day from before 0001-01-01 to beyond 9999-12-31 (year 12047).
TEST(CalendarSweep, EveryDayMatchesTheReference) {
    const int32_t last9999 = 3652059;  // 9999-12-31
    ASSERT_EQ(ReferenceFieldsOfDayCount(last9999), (Fields{9999, 12, 31, 5}));
    int mismatches = 0;
    for (int32_t t = 1; t <= 4400000 && mismatches < 10; ++t) {
        const Fields got = FieldsOfDayCount(t), expected = ReferenceFieldsOfDayCount(t);
        if (!(got == expected)) {
            ++mismatches;
            ADD_FAILURE() << "day count " << t << ": " << got << ", expected " << expected;
        }
        if (vantor::DayCountOfDate(expected.year, expected.month, expected.day) != t && t <= last9999) {
            ++mismatches;
            ADD_FAILURE() << "DayCountOfDate of day count " << t;
        }
    }
    for (int32_t t = -1000; t <= 0; ++t) ASSERT_EQ(vantor::CalendarDateOfDayCount(t).Year, 0);
    // Large day counts, spread to the end of the 32-bit range.
    std::mt19937 random(4);
    for (int i = 0; i < 200000; ++i) {
        const int32_t t = static_cast<int32_t>(random() % INT32_MAX) + 1;
        ASSERT_EQ(FieldsOfDayCount(t), ReferenceFieldsOfDayCount(t)) << t;
    }
}

// Every DP day from 0001-01-01 to 9999-12-31, whole and with a time of day,
// through the entry points.
TEST(CalendarSweep, EveryDPDayOfTheFourDigitYears) {
    int mismatches = 0;
    for (int32_t t = 1; t <= 3652059 && mismatches < 10; ++t) {
        const double day = t - 693594;
        const Fields expected = ReferenceFieldsOfDayCount(t);
        // Negative DP values count toward zero, so their time of day lies
        // on the side of the next day count down.
        const double withTime = day >= 0 ? day + 0.999994 : day - 0.999994;
        for (double dp : {day, withTime}) {
            if (!(FieldsOfDP(dp) == expected)) {
                ++mismatches;
                ADD_FAILURE() << "DP " << dp << ": " << FieldsOfDP(dp) << ", expected " << expected;
            }
        }
    }
}

TEST(MillisecondRounding, HalfMillisecondsGoToEven) {
    int64_t ms = -1;
    // k/2048 days with k odd is k * 42187.5 ms exactly.
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(1.0 / 2048, &ms));
    EXPECT_EQ(ms, 42188);
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(3.0 / 2048, &ms));
    EXPECT_EQ(ms, 126562);
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(-3.0 / 2048, &ms));
    EXPECT_EQ(ms, -126562);
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(36526.0 + 5.0 / 2048, &ms));
    EXPECT_EQ(ms, 36526 * INT64_C(86400000) + 210938);  // 210937.5 goes up to even
}

TEST(MillisecondRounding, RoundsTheExtendedProductNotTheExactOne) {
    // The exact products of these values lie just below (above) a half
    // millisecond; rounded to a 64-bit significand they become the half,
    // which then goes to even.
    int64_t ms = 0;
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(0x1.ae4fafad13805p+30, &ms));
    EXPECT_EQ(ms, INT64_C(155939584256845416));
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(0x1.cc37170cb730cp+30, &ms));
    EXPECT_EQ(ms, INT64_C(166776402399456692));
    ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(-0x1.cc37170cb730cp+30, &ms));
    EXPECT_EQ(ms, -INT64_C(166776402399456692));
}

TEST(MillisecondRounding, MatchesTheX87UnderDefaultSettings) {
    ASSERT_EQ(vantor_test::ReadControlWord() & 0x0F00, 0x0300);  // 64-bit significand, to nearest
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> exponent(-40, 30);
    long checked = 0;
    for (int i = 0; i < 3000000; ++i) {
        const double magnitude = std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52, exponent(random));
        const double dp = (random() & 1) ? -magnitude : magnitude;
        int64_t ms = 0;
        ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(dp, &ms)) << dp;
        ASSERT_EQ(ms, HardwareMilliseconds(dp)) << std::hexfloat << dp;
        // The day count read off the bits, on this value and on one up to a
        // millisecond below a midnight (the half millisecond that decides
        // the day, and the band around it that takes the exact form).
        const double whole = std::trunc(dp);
        const double nearMidnight = whole + (dp < 0 ? -1 : 1) * (1.0 - static_cast<double>(random() % 12800) * 0x1p-40);
        for (const double value : {dp, nearMidnight}) {
            if (std::fabs(value) >= 2147483648.0) continue;
            const int64_t days = HardwareMilliseconds(value) / 86400000;
            ASSERT_EQ(vantor::DayCountOfDP(value), static_cast<int32_t>(static_cast<uint32_t>(days) + 693594u))
                << std::hexfloat << value;
        }
        ++checked;
    }
    // Half-millisecond ties all over the range: k/2048 days for odd k.
    for (int64_t k = 1; k < (INT64_C(1) << 42); k = k * 3 + 2) {
        const double dp = static_cast<double>(k) / 2048;
        int64_t ms = 0;
        ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(dp, &ms));
        ASSERT_EQ(ms, HardwareMilliseconds(dp)) << k;
        ASSERT_EQ(ms % 2, 0) << k;
        ++checked;
    }
    EXPECT_GT(checked, 3000000);
}

TEST(MillisecondRounding, IndependentOfTheCallerControlWordWhichIsKept) {
    std::mt19937_64 random(11);
    std::vector<double> values;
    for (int i = 0; i < 10000; ++i)
        values.push_back(std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52,
                                    static_cast<int>(random() % 60) - 29) * ((random() & 1) ? -1 : 1));
    values.push_back(0.9999999999);
    values.push_back(1.0 / 2048);
    values.push_back(0x1.ae4fafad13805p+30);
    std::vector<int64_t> expected;
    std::vector<Fields> expectedFields;
    for (double dp : values) {
        expected.push_back(HardwareMilliseconds(dp));
        expectedFields.push_back(FieldsOfDP(dp));
    }
    const vantor_test::ScopedControlWord roundUpDouble(vantor_test::kRoundUpDoublePrecision);
    for (size_t i = 0; i < values.size(); ++i) {
        int64_t ms = 0;
        ASSERT_TRUE(vantor::RoundedMillisecondsOfDP(values[i], &ms));
        ASSERT_EQ(ms, expected[i]) << values[i];
        ASSERT_EQ(FieldsOfDP(values[i]), expectedFields[i]);
        const double dp = values[i];
        ASSERT_EQ(DPDOW(&dp, "1234567"), expectedFields[i].weekday >= 1 ? 1 : 0);
    }
    EXPECT_EQ(vantor_test::ReadControlWord(), vantor_test::kRoundUpDoublePrecision);
}

}  // namespace
