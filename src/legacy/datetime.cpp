// The legacy entry points of the date and time functions: D2DP, DP2D, T2DP,
// DP2T, TS2DP, DP2TS, DP2Day, DP2Month, DP2Year, DP2DOW, DPDOW and Now.
// Each reads its arguments by address (a null address gives the result
// written beside it) and calls the plain function of src/datetime.
#include <cstring>
#include <string_view>

#include "datetime/calendar.h"
#include "datetime/daynumber.h"
#include "legacy/entry_points.h"
#include "legacy/now.h"

namespace vantor {

ISC_TIMESTAMP* CurrentTimestamp(Allocator allocate, ClockReader readClock) noexcept {
    Timestamp timestamp;
    if (!CurrentLocalTimestamp(readClock, &timestamp)) return nullptr;
    void* block = allocate(static_cast<long>(sizeof(ISC_TIMESTAMP)));
    if (block == nullptr) return nullptr;
    const ISC_TIMESTAMP value{timestamp.Date, timestamp.Time};
    std::memcpy(block, &value, sizeof value);
    return static_cast<ISC_TIMESTAMP*>(block);
}

}  // namespace vantor

VANTOR_ENTRY double D2DP(const ISC_DATE* date) noexcept {
    return date ? vantor::DateToDP(*date) : 0.0;
}

VANTOR_ENTRY ISC_DATE DP2D(const double* dp) noexcept {
    return dp ? vantor::DPToDate(*dp) : 0;
}

VANTOR_ENTRY double T2DP(const ISC_TIME* time) noexcept {
    return time ? vantor::TimeToDP(*time) : 0.0;
}

VANTOR_ENTRY ISC_TIME DP2T(const double* dp) noexcept {
    return dp ? vantor::DPToTime(*dp) : 0;
}

VANTOR_ENTRY double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept {
    return timestamp ? vantor::TimestampToDP({timestamp->timestamp_date, timestamp->timestamp_time}) : 0.0;
}

// The timestamp is written over the argument's own 8 bytes, whose address is
// returned; the server reads it from there and frees nothing.
VANTOR_ENTRY ISC_TIMESTAMP* DP2TS(double* dp) noexcept {
    if (!dp) return nullptr;
    const vantor::Timestamp timestamp = vantor::DPToTimestamp(*dp);
    const ISC_TIMESTAMP value{timestamp.Date, timestamp.Time};
    std::memcpy(dp, &value, sizeof value);
    return reinterpret_cast<ISC_TIMESTAMP*>(dp);
}

VANTOR_ENTRY uint16_t DP2Day(const double* dp) noexcept {
    return dp ? vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(*dp)).Day : 0;
}

VANTOR_ENTRY uint16_t DP2Month(const double* dp) noexcept {
    return dp ? vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(*dp)).Month : 0;
}

VANTOR_ENTRY uint16_t DP2Year(const double* dp) noexcept {
    return dp ? vantor::CalendarDateOfDayCount(vantor::DayCountOfDP(*dp)).Year : 0;
}

// The weekday fills the whole 32-bit result (INTEGER BY VALUE reads it too).
VANTOR_ENTRY int32_t DP2DOW(const double* dp) noexcept {
    return dp ? vantor::WeekdayOfDayCount(vantor::DayCountOfDP(*dp)) : 0;
}

// A null weekday list reads as "", which passes every day.
VANTOR_ENTRY int16_t DPDOW(const double* dp, const char* list) noexcept {
    if (!dp) return 0;
    const int32_t weekday = vantor::WeekdayOfDayCount(vantor::DayCountOfDP(*dp));
    return vantor::WeekdayPassesList(weekday, list ? std::string_view(list) : std::string_view()) ? 1 : 0;
}

// The block comes from ib_util_malloc, and the server frees it.
VANTOR_ENTRY ISC_TIMESTAMP* Now() noexcept {
    return vantor::CurrentTimestamp(ib_util_malloc, vantor::ReadSystemClock);
}
