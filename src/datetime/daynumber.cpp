// Day-number conversions: D2DP, DP2D, T2DP, DP2T, TS2DP, DP2TS.
#include "datetime/daynumber.h"

#include <cstring>

namespace vantor {

double DateToDP(ISC_DATE date) noexcept {
    return static_cast<double>(DPDayOfServerDate(date));
}

double TimeToDP(ISC_TIME time) noexcept {
    return RoundToDouble(DayFractionOfTime(time));
}

double TimestampToDP(ISC_TIMESTAMP timestamp) noexcept {
    return RoundToDouble(static_cast<long double>(DPDayOfServerDate(timestamp.timestamp_date)) +
                         DayFractionOfTime(timestamp.timestamp_time));
}

ISC_DATE DPToDate(double dp) noexcept {
    const int64_t days = TruncateToInt64(dp);
    return static_cast<ISC_DATE>(static_cast<uint32_t>(static_cast<uint64_t>(days) + kDayOffset));
}

ISC_TIME DPToTime(double dp) noexcept {
    const long double x = dp;
    if (!HasInt64Truncation(x)) return 0;
    long double fraction = x - static_cast<long double>(TruncateToInt64(x));  // exact
    if (fraction < 0) fraction = -fraction;
    const long double guarded = fraction + kTruncationGuard;
    const long double units = (guarded * kUnitsPerMillisecond) / kDaysPerMillisecond;
    const int64_t time = TruncateToInt64(units);
    return time > kLastTimeOfDay ? kLastTimeOfDay : static_cast<ISC_TIME>(time);
}

ISC_TIMESTAMP DPToTimestamp(double dp) noexcept {
    return ISC_TIMESTAMP{DPToDate(dp), DPToTime(dp)};
}

}  // namespace vantor
