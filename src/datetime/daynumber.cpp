// The x87 forms of the day-number conversions, which the inline forms of
// daynumber.h take under a control word other than the default.
#include "datetime/daynumber.h"

namespace vantor {

double TimeToDPOnX87(uint32_t time) {
    return RoundToDouble(DayFractionOfTime(time));
}

double TimestampToDPOnX87(Timestamp timestamp) {
    return RoundToDouble(static_cast<long double>(DPDayOfServerDate(timestamp.Date)) +
                         DayFractionOfTime(timestamp.Time));
}

uint32_t DPToTimeOnX87(double dp) {
    const long double x = dp;
    if (!HasInt64Truncation(x)) return 0;
    long double fraction = x - static_cast<long double>(TruncateToInt64(x));  // exact
    if (fraction < 0) fraction = -fraction;
    const long double guarded = fraction + kTruncationGuard;
    const long double units = (guarded * kUnitsPerMillisecond) / kDaysPerMillisecond;
    const int64_t time = TruncateToInt64(units);
    return time > kLastTimeOfDay ? kLastTimeOfDay : static_cast<uint32_t>(time);
}

}  // namespace vantor
