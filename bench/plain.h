// Plain versions of the functions the benchmark measures: each written the
// straightforward way from its definition (x87 arithmetic with the
// language's own conversions, the year-by-cycle loop and the month table of
// the calendar split, a byte loop through the folding table, a record loop),
// with the entry point's signature and its results under the default
// floating-point settings. They stand beside the library's functions in the
// benchmark, compiled with the same flags in a file of their own so that
// each is a real call, as the entry points are.
#pragma once

#include <cstdint>

#include "frame/udf.h"

namespace plain {

double D2DP(const ISC_DATE* date) noexcept;
ISC_DATE DP2D(const double* dp) noexcept;
double T2DP(const ISC_TIME* time) noexcept;
ISC_TIME DP2T(const double* dp) noexcept;
double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept;
ISC_TIMESTAMP* DP2TS(double* dp) noexcept;
uint16_t DP2Day(const double* dp) noexcept;
uint16_t DP2Month(const double* dp) noexcept;
uint16_t DP2Year(const double* dp) noexcept;
int32_t DP2DOW(const double* dp) noexcept;
int16_t DPDOW(const double* dp, const char* list) noexcept;
char* ALC(const char* text) noexcept;
int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept;

}  // namespace plain
