// Now: the current local timestamp of the host, to the whole millisecond.
#pragma once

#include <cstdint>

#include "datetime/daynumber.h"

namespace vantor {

// One reading of the system clock: seconds since the Unix epoch and the
// microseconds of the current second (0 to 999999).
struct ClockReading {
    int64_t seconds;
    int32_t microseconds;
};

// The server time of a local time of day, to the whole millisecond (ten units
// a millisecond). A leap second (second 60) is held at 59.999 of the same
// minute, so the result never passes 863999990.
uint32_t TimeOfDayToMillisecond(int hour, int minute, int second, int millisecond) noexcept;

// The local date and time of day of one clock reading under the process's
// time zone (localtime_r; on Windows _localtime64_s): both come from the same reading, so they always
// belong together. False when the reading is out of range or the local-time
// conversion fails, or the date has no 32-bit day number.
bool LocalTimestampOfReading(ClockReading reading, Timestamp* timestamp) noexcept;

// Reads the system clock (gettimeofday; on Windows GetSystemTimeAsFileTime);
// false if it fails.
bool ReadSystemClock(ClockReading* reading) noexcept;

using ClockReader = bool (*)(ClockReading* reading) noexcept;

// One clock reading converted to local time into *timestamp; false, leaving
// it alone, if the clock or the conversion fails.
bool CurrentLocalTimestamp(ClockReader readClock, Timestamp* timestamp) noexcept;

}  // namespace vantor
