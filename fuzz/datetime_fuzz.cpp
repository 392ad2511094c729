// libFuzzer target for the day-number and calendar functions: the input is
// read as a run of 8-byte doubles (any bit pattern: NaN payloads,
// infinities, subnormals, huge magnitudes), each of which is also read as an
// ISC_DATE and ISC_TIME pair. Every value goes through D2DP, DP2D, T2DP,
// DP2T, TS2DP, DP2TS, DP2Day, DP2Month, DP2Year and DP2DOW, and the results
// are checked against plain references and the rules of the data:
//   * DP2D is the integer part toward zero plus 15018, in 32 bits (15018
//     when there is no 64-bit integer part);
//   * DP2T is at most 863999999 (0 without a 64-bit integer part), and DP2TS
//     holds exactly DP2D and DP2T;
//   * the calendar fields are those of the millisecond-rounded day count,
//     computed here by another method, or all 0 before 0001-01-01 and for
//     values outside the 32-bit day count;
//   * dates and times in the server's range survive the trip through a DP.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "awkward_calls.h"

namespace {

// Stops the run on a broken rule, naming it.
#define Check(condition) \
    ((condition) ? (void)0 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

struct Civil {
    int64_t year;
    int month, day;
};

// The civil date of a count of days since 1970-01-01, by eras of 400 years.
Civil CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return Civil{yearOfEra + era * 400 + (month <= 2), month, day};
}

// 0001-01-01 is day count 1 and 1970-01-01 is day count 719163.
constexpr int64_t kDayCountOfUnixEpoch = 719163;

void CheckDP(double dp) {
    const long double x = dp;
    const bool hasInteger = std::isfinite(dp) && std::fabs(x) < 9223372036854775808.0L;

    const ISC_DATE date = DP2D(&dp);
    const ISC_DATE expectedDate =
        hasInteger ? static_cast<ISC_DATE>(static_cast<uint32_t>(static_cast<int64_t>(std::trunc(x))) + 15018u)
                   : 15018;
    Check(date == expectedDate);

    const ISC_TIME time = DP2T(&dp);
    Check(time <= 863999999u);
    if (!hasInteger) Check(time == 0);

    double overwritten = dp;
    const ISC_TIMESTAMP* stamp = DP2TS(&overwritten);
    Check(static_cast<const void*>(stamp) == static_cast<const void*>(&overwritten));
    Check(stamp->timestamp_date == date && stamp->timestamp_time == time);

    const uint16_t year = DP2Year(&dp), month = DP2Month(&dp), day = DP2Day(&dp);
    const int32_t weekday = DP2DOW(&dp);
    if (!(std::isfinite(dp) && std::fabs(dp) < 2147483648.0)) {
        Check(year == 0 && month == 0 && day == 0 && weekday == 0);
        return;
    }
    // The day count of the millisecond-rounded value, at the x87's own
    // extended precision under the default rounding.
    const int64_t milliseconds = static_cast<int64_t>(std::nearbyint(x * 86400000.0L));
    const int32_t dayCount = static_cast<int32_t>(
        static_cast<uint32_t>(milliseconds / 86400000) + 693594u);
    if (dayCount <= 0) {
        Check(year == 0 && month == 0 && day == 0);
    } else {
        const Civil civil = CivilFromDays(dayCount - kDayCountOfUnixEpoch);
        Check(year == static_cast<uint16_t>(civil.year) && month == civil.month && day == civil.day);
    }
    Check(weekday == (dayCount - 1) % 7 + 1);
}

void CheckServerValues(ISC_DATE date, ISC_TIME time) {
    // D2DP and DP2D undo each other on every 32-bit day number.
    const double dp = D2DP(&date);
    Check(dp == static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(date) - 15018u)));
    Check(DP2D(&dp) == date);
    const double fraction = T2DP(&time);
    Check(std::isfinite(fraction) && fraction >= 0);
    const ISC_TIMESTAMP stamp{date, time};
    const double both = TS2DP(&stamp);
    Check(std::isfinite(both));
    // Within the server's range, from the DP epoch on: a valid time of day
    // comes back whole, or at worst one unit low far from the epoch.
    if (time < 864000000u) {
        Check(DP2T(&fraction) == time);
        if (date >= 15018 && date <= 2973483) {
            double copy = both;
            const ISC_TIMESTAMP back = *DP2TS(&copy);
            Check(back.timestamp_date == date);
            Check(back.timestamp_time == time || back.timestamp_time + 1 == time);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (size_t at = 0; at + 8 <= size; at += 8) {
        uint64_t bits;
        std::memcpy(&bits, data + at, sizeof bits);
        CheckDP(vantor_test::DoubleOfBits(bits));
        // The same bytes as server values, and with the time brought into a
        // day so that the round trip is tried often.
        const ISC_DATE date = static_cast<ISC_DATE>(bits);
        const ISC_TIME time = static_cast<ISC_TIME>(bits >> 32);
        CheckServerValues(date, time);
        CheckServerValues(date % 2958466 + 15018, time % 864000000u);
    }
    return 0;
}
