// The 23 entry points as the server calls them, in the order of
// exports.list: every argument by reference, C linkage, nothing thrown.
// The library's own sources include this header, so each definition is
// checked against its declaration here; tests, benchmarks and fuzz targets
// call the entry points through it.
#pragma once

#include <cstdint>

#include "frame/udf.h"

#define VANTOR_ENTRY_DECL extern "C" __attribute__((visibility("default")))

VANTOR_ENTRY_DECL double D2DP(const ISC_DATE* date) noexcept;
VANTOR_ENTRY_DECL ISC_DATE DP2D(const double* dp) noexcept;
VANTOR_ENTRY_DECL double T2DP(const ISC_TIME* time) noexcept;
VANTOR_ENTRY_DECL ISC_TIME DP2T(const double* dp) noexcept;
VANTOR_ENTRY_DECL double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept;
VANTOR_ENTRY_DECL ISC_TIMESTAMP* DP2TS(double* dp) noexcept;

VANTOR_ENTRY_DECL uint16_t DP2Day(const double* dp) noexcept;
VANTOR_ENTRY_DECL uint16_t DP2Month(const double* dp) noexcept;
VANTOR_ENTRY_DECL uint16_t DP2Year(const double* dp) noexcept;
VANTOR_ENTRY_DECL int32_t DP2DOW(const double* dp) noexcept;
VANTOR_ENTRY_DECL int16_t DPDOW(const double* dp, const char* list) noexcept;
VANTOR_ENTRY_DECL ISC_TIMESTAMP* Now() noexcept;

VANTOR_ENTRY_DECL short Match(const char* text, const char* mask) noexcept;

VANTOR_ENTRY_DECL char* ALC(const char* text) noexcept;
VANTOR_ENTRY_DECL ISC_DATE* IIF_D(const int16_t* condition, ISC_DATE* first, ISC_DATE* second) noexcept;
VANTOR_ENTRY_DECL ISC_TIME* IIF_T(const int16_t* condition, ISC_TIME* first, ISC_TIME* second) noexcept;
VANTOR_ENTRY_DECL ISC_TIMESTAMP* IIF_TS(const int16_t* condition, ISC_TIMESTAMP* first,
                                        ISC_TIMESTAMP* second) noexcept;
VANTOR_ENTRY_DECL char* IIF_S(const int16_t* condition, char* first, char* second) noexcept;
VANTOR_ENTRY_DECL int32_t* IIF_I(const int16_t* condition, int32_t* first, int32_t* second) noexcept;
VANTOR_ENTRY_DECL double* IIF_DP(const int16_t* condition, double* first, double* second) noexcept;
VANTOR_ENTRY_DECL double DivDP(const double* dividend, const double* divisor) noexcept;

VANTOR_ENTRY_DECL int32_t BLOB2I(BLOBCALLBACK blob) noexcept;
VANTOR_ENTRY_DECL int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept;

#undef VANTOR_ENTRY_DECL
