// Now: local date and time of one clock reading under several time zones
// (TZ of the test process) from 1901 to 9999, the leap second, the order of
// clock reading and allocation, and the real entry point against the real clock.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/time.h>
#endif

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "legacy/entry_points.h"
#include "legacy/now.h"

// ISC_TIMESTAMP is a global type, so its operators live beside it for gtest.
[[maybe_unused]] static bool operator==(const ISC_TIMESTAMP& a, const ISC_TIMESTAMP& b) {
    return a.timestamp_date == b.timestamp_date && a.timestamp_time == b.timestamp_time;
}
[[maybe_unused]] static bool operator<=(const ISC_TIMESTAMP& a, const ISC_TIMESTAMP& b) {
    return a.timestamp_date < b.timestamp_date ||
           (a.timestamp_date == b.timestamp_date && a.timestamp_time <= b.timestamp_time);
}
[[maybe_unused]] static std::ostream& operator<<(std::ostream& out, const ISC_TIMESTAMP& t) {
    return out << "(" << t.timestamp_date << ", " << t.timestamp_time << ")";
}

namespace {

using vantor::ClockReading;

// The tests of local time name tzdata's zones in TZ (POSIX rules, the
// right/ zones), which Windows' C runtime does not read: there Now's local
// time is the C runtime's, and these tests are Linux's.
#if !defined(_WIN32)
// Sets TZ for the lifetime of the object.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            hadOld_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    bool hadOld_ = false;
    std::string old_;
};

// Reference for a zone at a fixed offset east of UTC: 1970-01-01 is server
// day 40587.
ISC_TIMESTAMP ReferenceTimestamp(ClockReading reading, int64_t offsetSeconds) {
    const int64_t local = reading.seconds + offsetSeconds;
    int64_t days = local / 86400, second = local % 86400;
    if (second < 0) {
        second += 86400;
        days -= 1;
    }
    return ISC_TIMESTAMP{static_cast<ISC_DATE>(days + 40587),
                         static_cast<ISC_TIME>(second * 10000 + reading.microseconds / 1000 * 10)};
}

ISC_TIMESTAMP LocalOf(ClockReading reading) {
    vantor::Timestamp timestamp{-1, 1};
    EXPECT_TRUE(vantor::LocalTimestampOfReading(reading, &timestamp)) << reading.seconds;
    return ISC_TIMESTAMP{timestamp.Date, timestamp.Time};
}

#endif

TEST(Now, TimeOfDayToTheMillisecond) {
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(12, 34, 56, 789), 452967890u);
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(0, 0, 0, 0), 0u);
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(23, 59, 59, 999), 863999990u);
    // A leap second is held at 59.999 of its minute.
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(23, 59, 60, 0), 863999990u);
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(23, 59, 60, 500), 863999990u);
    EXPECT_EQ(vantor::TimeOfDayToMillisecond(11, 29, 60, 1), 413999990u);
}

#if !defined(_WIN32)

TEST(Now, EastOfUtcJustBeforeMidnightIsTheNextDay) {
    const ScopedTimeZone twoEast("<+02>-2");
    // 2024-02-28 23:30:00.250 UTC is 2024-02-29 01:30:00.250 two hours east.
    EXPECT_EQ(LocalOf(ClockReading{1709163000, 250999}), (ISC_TIMESTAMP{60369, 54002500}));
    // 2023-12-31 23:59:59.999999 UTC: one reading gives both date and time.
    EXPECT_EQ(LocalOf(ClockReading{1704067199, 999999}), (ISC_TIMESTAMP{60310, 71999990}));
    const ScopedTimeZone utc("UTC0");
    EXPECT_EQ(LocalOf(ClockReading{1704067199, 999999}), (ISC_TIMESTAMP{60309, 863999990}));
    EXPECT_EQ(LocalOf(ClockReading{946730096, 789000}), (ISC_TIMESTAMP{51544, 452967890}));
}

TEST(Now, FixedOffsetZonesMatchTheReference) {
    struct Zone { const char* tz; int64_t offset; };
    const Zone zones[] = {{"UTC0", 0},          {"<+02>-2", 7200},      {"<+14>-14", 50400},
                          {"<-12>12", -43200},  {"<+0530>-5:30", 19800}, {"<-0930>9:30", -34200},
                          {"<+0545>-5:45", 20700}};
    std::mt19937_64 random(3);
    for (const Zone& zone : zones) {
        const ScopedTimeZone scoped(zone.tz);
        SCOPED_TRACE(zone.tz);
        for (int i = 0; i < 20000; ++i) {
            // From 1901 to 9999, past the end of a 32-bit clock in 2038.
            const int64_t seconds = static_cast<int64_t>(random() % 255549000000u) - 2147000000;
            const ClockReading reading{seconds, static_cast<int32_t>(random() % 1000000)};
            const ISC_TIMESTAMP got = LocalOf(reading);
            ASSERT_EQ(got, ReferenceTimestamp(reading, zone.offset)) << seconds;
            ASSERT_EQ(got.timestamp_time % 10, 0u);
            ASSERT_LE(got.timestamp_time, 863999990u);
        }
        // The last microsecond of a local day stays on that day.
        const ClockReading lastOfDay{86400 * 19000 - zone.offset - 1, 999999};
        EXPECT_EQ(LocalOf(lastOfDay), (ISC_TIMESTAMP{19000 + 40587 - 1, 863999990}));
    }
}

TEST(Now, DaylightSavingZone) {
    const ScopedTimeZone newYork("EST5EDT,M3.2.0,M11.1.0");
    // 2024-07-01 03:00 UTC is 2024-06-30 23:00 EDT; 2024-01-01 03:00 UTC is
    // 2023-12-31 22:00 EST.
    EXPECT_EQ(LocalOf(ClockReading{1719802800, 0}), (ISC_TIMESTAMP{60491, 828000000}));
    EXPECT_EQ(LocalOf(ClockReading{1704078000, 5000}), (ISC_TIMESTAMP{60309, 792000050}));
}

TEST(Now, LeapSecondIsHeldAtTheEndOfItsMinute) {
    // In the "right" zones the clock counts leap seconds, and 2016-12-31
    // ended with 23:59:60.
    const ScopedTimeZone right("right/UTC");
    time_t leap = 0;
    for (time_t t = 1483228800; t < 1483228900 && leap == 0; ++t) {
        struct tm local;
        ASSERT_NE(localtime_r(&t, &local), nullptr);
        if (local.tm_sec == 60) leap = t;
    }
    ASSERT_NE(leap, 0) << "tzdata's right/UTC has no leap second at the end of 2016";
    EXPECT_EQ(LocalOf(ClockReading{leap - 1, 500000}), (ISC_TIMESTAMP{57753, 863995000}));
    EXPECT_EQ(LocalOf(ClockReading{leap, 0}), (ISC_TIMESTAMP{57753, 863999990}));
    EXPECT_EQ(LocalOf(ClockReading{leap, 999999}), (ISC_TIMESTAMP{57753, 863999990}));
    EXPECT_EQ(LocalOf(ClockReading{leap + 1, 0}), (ISC_TIMESTAMP{57754, 0}));
}

TEST(Now, ReadingsWithoutALocalTimeFail) {
    vantor::Timestamp timestamp{7, 7};
    EXPECT_FALSE(vantor::LocalTimestampOfReading(ClockReading{0, -1}, &timestamp));
    EXPECT_FALSE(vantor::LocalTimestampOfReading(ClockReading{0, 1000000}, &timestamp));
    EXPECT_FALSE(vantor::LocalTimestampOfReading(ClockReading{INT64_MAX, 0}, &timestamp));
    EXPECT_FALSE(vantor::LocalTimestampOfReading(ClockReading{INT64_MIN, 0}, &timestamp));
    EXPECT_EQ((ISC_TIMESTAMP{timestamp.Date, timestamp.Time}), (ISC_TIMESTAMP{7, 7}));
}

// A fake allocator and clock for the steps of Now.
struct Fakes {
    int allocations = 0;
    long requested = 0;
    bool allocationFails = false;
    int clockReads = 0;
    bool clockFails = false;
    ClockReading reading{};
    ISC_TIMESTAMP block{-1, 1};
};
Fakes fakes;

void* FakeAllocate(long size) noexcept {
    ++fakes.allocations;
    fakes.requested = size;
    return fakes.allocationFails ? nullptr : &fakes.block;
}

bool FakeClock(ClockReading* reading) noexcept {
    ++fakes.clockReads;
    *reading = fakes.reading;
    return !fakes.clockFails;
}

TEST(Now, ReadsTheClockOnceThenAllocatesEightBytes) {
    const ScopedTimeZone oneEast("<+01>-1");
    fakes = Fakes{};
    fakes.reading = ClockReading{1704067199, 999999};  // 2023-12-31 23:59:59.999999 UTC
    ISC_TIMESTAMP* result = vantor::CurrentTimestamp(FakeAllocate, FakeClock);
    EXPECT_EQ(result, &fakes.block);
    EXPECT_EQ(fakes.allocations, 1);
    EXPECT_EQ(fakes.requested, 8);
    EXPECT_EQ(fakes.clockReads, 1);
    EXPECT_EQ(fakes.block, (ISC_TIMESTAMP{60310, 35999990}));  // 2024-01-01 00:59:59.999
}

TEST(Now, FailedAllocationGivesNull) {
    fakes = Fakes{};
    fakes.allocationFails = true;
    EXPECT_EQ(vantor::CurrentTimestamp(FakeAllocate, FakeClock), nullptr);
    EXPECT_EQ(fakes.allocations, 1);
}

// The server's allocator cannot take a block back, so a failed clock must
// leave nothing allocated.
TEST(Now, FailedClockGivesNullWithoutAllocating) {
    fakes = Fakes{};
    fakes.clockFails = true;
    EXPECT_EQ(vantor::CurrentTimestamp(FakeAllocate, FakeClock), nullptr);
    EXPECT_EQ(fakes.clockReads, 1);
    EXPECT_EQ(fakes.allocations, 0);
    fakes = Fakes{};
    fakes.reading = ClockReading{0, 2000000};  // not a clock reading
    EXPECT_EQ(vantor::CurrentTimestamp(FakeAllocate, FakeClock), nullptr);
    EXPECT_EQ(fakes.allocations, 0);
}

// The UDR module's Now: the same reading and conversion, with no block.
TEST(Now, CurrentLocalTimestampReadsTheClockOnceAndLeavesTheResultAloneOnFailure) {
    const ScopedTimeZone oneEast("<+01>-1");
    fakes = Fakes{};
    fakes.reading = ClockReading{1704067199, 999999};  // 2023-12-31 23:59:59.999999 UTC
    vantor::Timestamp timestamp{7, 7};
    EXPECT_TRUE(vantor::CurrentLocalTimestamp(FakeClock, &timestamp));
    EXPECT_EQ(fakes.clockReads, 1);
    EXPECT_EQ((ISC_TIMESTAMP{timestamp.Date, timestamp.Time}), (ISC_TIMESTAMP{60310, 35999990}));
    timestamp = vantor::Timestamp{7, 7};
    fakes.clockFails = true;
    EXPECT_FALSE(vantor::CurrentLocalTimestamp(FakeClock, &timestamp));
    fakes = Fakes{};
    fakes.reading = ClockReading{0, -1};  // not a clock reading
    EXPECT_FALSE(vantor::CurrentLocalTimestamp(FakeClock, &timestamp));
    EXPECT_EQ((ISC_TIMESTAMP{timestamp.Date, timestamp.Time}), (ISC_TIMESTAMP{7, 7}));
}

// The real entry point against the real clock, read just before and after.
TEST(Now, EntryPointGivesTheCurrentLocalTime) {
    for (const auto& zone : {std::make_pair("UTC0", 0), std::make_pair("<+14>-14", 50400),
                             std::make_pair("<-0930>9:30", -34200)}) {
        const ScopedTimeZone scoped(zone.first);
        struct timeval before, after;
        ASSERT_EQ(gettimeofday(&before, nullptr), 0);
        ISC_TIMESTAMP* now = Now();
        ASSERT_EQ(gettimeofday(&after, nullptr), 0);
        ASSERT_NE(now, nullptr);
        const ISC_TIMESTAMP value = *now;
        std::free(now);  // ib_util_malloc's memory is the C library's
        EXPECT_LE(ReferenceTimestamp(ClockReading{before.tv_sec, static_cast<int32_t>(before.tv_usec)},
                                     zone.second),
                  value);
        EXPECT_LE(value, ReferenceTimestamp(ClockReading{after.tv_sec, static_cast<int32_t>(after.tv_usec)},
                                            zone.second));
        EXPECT_EQ(value.timestamp_time % 10, 0u);
        EXPECT_LE(value.timestamp_time, 863999990u);
    }
}

#endif

}  // namespace
