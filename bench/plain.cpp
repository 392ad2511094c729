// Plain versions of the functions, for the benchmark (see plain.h).
#include "plain.h"

#include <cmath>
#include <cstring>

#include "datetime/daynumber.h"
#include "text/lowercase.h"

namespace plain {
namespace {

// The result rounded to double once, as a double result must be.
double Rounded(long double x) noexcept {
    volatile double rounded = static_cast<double>(x);
    return rounded;
}

struct Date {
    int year, month, day;
};

// The day count of a DP value: milliseconds rounded by the x87 (llrint),
// then whole days toward zero.
int32_t DayCount(double dp) noexcept {
    const int64_t milliseconds = std::llrint(static_cast<long double>(dp) * 86400000.0L);
    return static_cast<int32_t>(milliseconds / 86400000 + 693594);
}

// The 400/100/4/1-year split and the month walk, step by step.
Date DateOfDayCount(int32_t t) noexcept {
    if (t <= 0) return Date{0, 0, 0};
    --t;
    int year = 1;
    while (t >= 146097) {
        t -= 146097;
        year += 400;
    }
    int i = t / 36524, d = t % 36524;
    if (i == 4) {
        i = 3;
        d += 36524;
    }
    year += 100 * i;
    i = d / 1461;
    d %= 1461;
    year += 4 * i;
    i = d / 365;
    d %= 365;
    if (i == 4) {
        i = 3;
        d += 365;
    }
    year += i;
    static const int kLengths[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                        {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    int month = 1;
    while (d >= kLengths[leap][month - 1]) d -= kLengths[leap][month++ - 1];
    return Date{year, month, d + 1};
}

int32_t Weekday(int32_t dayCount) noexcept {
    return static_cast<int32_t>((static_cast<int64_t>(dayCount) - 1) % 7 + 1);
}

ISC_TIME TimeOf(double dp) noexcept {
    const long double x = dp;
    const int64_t whole = static_cast<int64_t>(x);
    long double fraction = x - whole;
    if (fraction < 0) fraction = -fraction;
    const long double units = (fraction + vantor::kTruncationGuard) * 10.0L / vantor::kDaysPerMillisecond;
    const int64_t time = static_cast<int64_t>(units);
    return time > 863999999 ? 863999999u : static_cast<ISC_TIME>(time);
}

}  // namespace

double D2DP(const ISC_DATE* date) noexcept {
    return date ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(*date) - 15018u)) : 0.0;
}

ISC_DATE DP2D(const double* dp) noexcept {
    return dp ? static_cast<ISC_DATE>(static_cast<uint32_t>(static_cast<int64_t>(*dp)) + 15018u) : 0;
}

double T2DP(const ISC_TIME* time) noexcept {
    return time ? Rounded(static_cast<long double>(*time) / 10.0L * vantor::kDaysPerMillisecond) : 0.0;
}

ISC_TIME DP2T(const double* dp) noexcept {
    return dp ? TimeOf(*dp) : 0;
}

double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept {
    if (!timestamp) return 0.0;
    const int32_t day = static_cast<int32_t>(static_cast<uint32_t>(timestamp->timestamp_date) - 15018u);
    return Rounded(day + static_cast<long double>(timestamp->timestamp_time) / 10.0L * vantor::kDaysPerMillisecond);
}

ISC_TIMESTAMP* DP2TS(double* dp) noexcept {
    if (!dp) return nullptr;
    const ISC_TIMESTAMP timestamp{DP2D(dp), TimeOf(*dp)};
    std::memcpy(dp, &timestamp, sizeof timestamp);
    return reinterpret_cast<ISC_TIMESTAMP*>(dp);
}

uint16_t DP2Day(const double* dp) noexcept {
    return dp ? static_cast<uint16_t>(DateOfDayCount(DayCount(*dp)).day) : 0;
}

uint16_t DP2Month(const double* dp) noexcept {
    return dp ? static_cast<uint16_t>(DateOfDayCount(DayCount(*dp)).month) : 0;
}

uint16_t DP2Year(const double* dp) noexcept {
    return dp ? static_cast<uint16_t>(DateOfDayCount(DayCount(*dp)).year) : 0;
}

int32_t DP2DOW(const double* dp) noexcept {
    return dp ? Weekday(DayCount(*dp)) : 0;
}

int16_t DPDOW(const double* dp, const char* list) noexcept {
    if (!dp) return 0;
    if (!list || !*list || std::strcmp(list, "0") == 0) return 1;
    char text[6];
    char* begin = text + sizeof text - 1;
    *begin = '\0';
    unsigned value = static_cast<uint16_t>(Weekday(DayCount(*dp)));
    do {
        *--begin = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::strstr(list, begin) ? 1 : 0;
}

char* ALC(const char* text) noexcept {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    auto* result = static_cast<unsigned char*>(ib_util_malloc(static_cast<long>(length + 1)));
    if (!result) return nullptr;
    for (size_t i = 0; i <= length; ++i)
        result[i] = vantor::kLowerCaseTable[static_cast<unsigned char>(text[i])];
    return reinterpret_cast<char*>(result);
}

// Reads the first min(total length, 524288) bytes into one buffer, segment
// by segment, then counts record by record.
int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept {
    if (!blob || !key || !limit || blob->blob_total_length <= 0) return 0;
    static thread_local unsigned char buffer[524288];
    const size_t wanted = blob->blob_total_length < 524288 ? static_cast<size_t>(blob->blob_total_length) : 524288;
    size_t received = 0;
    while (received < wanted) {
        unsigned short got = 0;
        const size_t ask = wanted - received < 65535 ? wanted - received : 65535;
        blob->blob_get_segment(blob->blob_handle, buffer + received, static_cast<unsigned short>(ask), &got);
        if (got == 0) break;
        received += got;
    }
    int32_t count = 0;
    for (size_t at = 0; at + 8 <= received; at += 8) {
        int32_t recordKey, value;
        std::memcpy(&recordKey, buffer + at, 4);
        std::memcpy(&value, buffer + at + 4, 4);
        count += recordKey == *key && value < *limit;
    }
    return count;
}

}  // namespace plain
