// The current local timestamp: Now.
#include "datetime/now.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/time.h>
#endif

#include <ctime>
#include <limits>

#include "datetime/calendar.h"

// The clock is read as 64-bit seconds on every flavour (the i386 build
// compiles with _TIME_BITS=64; Windows is read with its 64-bit time
// functions), so Now keeps working after 2038-01-19.
#if !defined(_WIN32)
static_assert(sizeof(time_t) == 8, "time_t must be 64 bits wide");
#endif

namespace vantor {

namespace {

// Day count (0001-01-01 is 1) minus this is the server's day number
// (1858-11-17 is 0).
constexpr int64_t kDayCountOfServerDayZero = kDayCountOfDPDayZero - kDayOffset;

}  // namespace

uint32_t TimeOfDayToMillisecond(int hour, int minute, int second, int millisecond) noexcept {
    if (second > 59) {  // a leap second
        second = 59;
        millisecond = 999;
    }
    const uint32_t seconds = static_cast<uint32_t>((hour * 60 + minute) * 60 + second);
    return seconds * 10000u + static_cast<uint32_t>(millisecond) * 10u;
}

bool LocalTimestampOfReading(ClockReading reading, Timestamp* timestamp) noexcept {
    if (reading.microseconds < 0 || reading.microseconds > 999999) return false;
    struct tm local;
#if defined(_WIN32)
    // The C runtime's reentrant form, under the process's time zone (TZ, or
    // Windows' own setting); it takes 1970 to 3000.
    const __time64_t seconds = reading.seconds;
    if (_localtime64_s(&local, &seconds) != 0) return false;
#else
    const time_t seconds = static_cast<time_t>(reading.seconds);
    if (localtime_r(&seconds, &local) == nullptr) return false;
#endif
    const int64_t day = DayCountOfDate(int64_t{local.tm_year} + 1900, local.tm_mon + 1, local.tm_mday) -
                        kDayCountOfServerDayZero;
    if (day < std::numeric_limits<int32_t>::min() || day > std::numeric_limits<int32_t>::max())
        return false;
    timestamp->Date = static_cast<int32_t>(day);
    timestamp->Time =
        TimeOfDayToMillisecond(local.tm_hour, local.tm_min, local.tm_sec, reading.microseconds / 1000);
    return true;
}

#if defined(_WIN32)
// Windows' clock counts 100 ns from 1601-01-01 (UTC); its timeval holds a
// 32-bit long of seconds, which the system clock is read without.
bool ReadSystemClock(ClockReading* reading) noexcept {
    constexpr int64_t kTicksPerSecond = 10000000;
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks = static_cast<int64_t>((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    reading->seconds = ticks / kTicksPerSecond - kSecondsFrom1601To1970;
    reading->microseconds = static_cast<int32_t>(ticks % kTicksPerSecond / 10);
    return true;
}
#else
bool ReadSystemClock(ClockReading* reading) noexcept {
    struct timeval now;
    if (gettimeofday(&now, nullptr) != 0) return false;
    reading->seconds = now.tv_sec;
    reading->microseconds = static_cast<int32_t>(now.tv_usec);
    return true;
}
#endif

bool CurrentLocalTimestamp(ClockReader readClock, Timestamp* timestamp) noexcept {
    ClockReading reading;
    return readClock(&reading) && LocalTimestampOfReading(reading, timestamp);
}

}  // namespace vantor
