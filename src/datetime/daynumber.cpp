// Day-number conversions: D2DP, DP2D, T2DP, DP2T, TS2DP, DP2TS.
#include "datetime/daynumber.h"

#include <cstring>

namespace vantor {

double TimeToDPOnX87(ISC_TIME time) {
    return RoundToDouble(DayFractionOfTime(time));
}

double TimestampToDPOnX87(ISC_TIMESTAMP timestamp) {
    return RoundToDouble(static_cast<long double>(DPDayOfServerDate(timestamp.timestamp_date)) +
                         DayFractionOfTime(timestamp.timestamp_time));
}

ISC_TIME DPToTimeOnX87(double dp) {
    const long double x = dp;
    if (!HasInt64Truncation(x)) return 0;
    long double fraction = x - static_cast<long double>(TruncateToInt64(x));  // exact
    if (fraction < 0) fraction = -fraction;
    const long double guarded = fraction + kTruncationGuard;
    const long double units = (guarded * kUnitsPerMillisecond) / kDaysPerMillisecond;
    const int64_t time = TruncateToInt64(units);
    return time > kLastTimeOfDay ? kLastTimeOfDay : static_cast<ISC_TIME>(time);
}

}  // namespace vantor
