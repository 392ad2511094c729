// Day-number conversions: D2DP, DP2D, T2DP, DP2T, TS2DP, DP2TS.
#include "datetime/daynumber.h"
#include "frame/entry_points.h"

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

// DECLARE EXTERNAL FUNCTION D2DP DATE
//   RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'D2DP' MODULE_NAME 'vantor';
VANTOR_ENTRY double D2DP(const ISC_DATE* date) noexcept {
    return date ? vantor::DateToDP(*date) : 0.0;
}

// DECLARE EXTERNAL FUNCTION DP2D DOUBLE PRECISION
//   RETURNS DATE BY VALUE ENTRY_POINT 'DP2D' MODULE_NAME 'vantor';
VANTOR_ENTRY ISC_DATE DP2D(const double* dp) noexcept {
    return dp ? vantor::DPToDate(*dp) : 0;
}

// DECLARE EXTERNAL FUNCTION T2DP TIME
//   RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'T2DP' MODULE_NAME 'vantor';
VANTOR_ENTRY double T2DP(const ISC_TIME* time) noexcept {
    return time ? vantor::TimeToDP(*time) : 0.0;
}

// DECLARE EXTERNAL FUNCTION DP2T DOUBLE PRECISION
//   RETURNS TIME BY VALUE ENTRY_POINT 'DP2T' MODULE_NAME 'vantor';
VANTOR_ENTRY ISC_TIME DP2T(const double* dp) noexcept {
    return dp ? vantor::DPToTime(*dp) : 0;
}

// DECLARE EXTERNAL FUNCTION TS2DP TIMESTAMP
//   RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'TS2DP' MODULE_NAME 'vantor';
VANTOR_ENTRY double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept {
    return timestamp ? vantor::TimestampToDP(*timestamp) : 0.0;
}

// DECLARE EXTERNAL FUNCTION DP2TS DOUBLE PRECISION
//   RETURNS TIMESTAMP ENTRY_POINT 'DP2TS' MODULE_NAME 'vantor';
// The timestamp is written over the argument's own 8 bytes, whose address is
// returned; the server reads it from there and frees nothing.
VANTOR_ENTRY ISC_TIMESTAMP* DP2TS(double* dp) noexcept {
    if (!dp) return nullptr;
    const ISC_TIMESTAMP timestamp = vantor::DPToTimestamp(*dp);
    std::memcpy(dp, &timestamp, sizeof timestamp);
    return reinterpret_cast<ISC_TIMESTAMP*>(dp);
}
