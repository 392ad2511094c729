// The 23 legacy entry points as the server calls them, in the order of
// src/frame/exports.list: every argument by reference, C linkage, nothing
// thrown. The adapters in this folder include this header, so each
// definition is checked against its declaration here; tests, benchmarks and
// fuzz targets call the entry points through it.
#pragma once

#include <cstdint>

#include "frame/udf.h"

VANTOR_ENTRY double D2DP(const ISC_DATE* date) noexcept;
VANTOR_ENTRY ISC_DATE DP2D(const double* dp) noexcept;
VANTOR_ENTRY double T2DP(const ISC_TIME* time) noexcept;
VANTOR_ENTRY ISC_TIME DP2T(const double* dp) noexcept;
VANTOR_ENTRY double TS2DP(const ISC_TIMESTAMP* timestamp) noexcept;
VANTOR_ENTRY ISC_TIMESTAMP* DP2TS(double* dp) noexcept;

VANTOR_ENTRY uint16_t DP2Day(const double* dp) noexcept;
VANTOR_ENTRY uint16_t DP2Month(const double* dp) noexcept;
VANTOR_ENTRY uint16_t DP2Year(const double* dp) noexcept;
VANTOR_ENTRY int32_t DP2DOW(const double* dp) noexcept;
VANTOR_ENTRY int16_t DPDOW(const double* dp, const char* list) noexcept;
VANTOR_ENTRY ISC_TIMESTAMP* Now() noexcept;

VANTOR_ENTRY short Match(const char* text, const char* mask) noexcept;

VANTOR_ENTRY char* ALC(const char* text) noexcept;
VANTOR_ENTRY ISC_DATE* IIF_D(const int16_t* condition, ISC_DATE* first, ISC_DATE* second) noexcept;
VANTOR_ENTRY ISC_TIME* IIF_T(const int16_t* condition, ISC_TIME* first, ISC_TIME* second) noexcept;
VANTOR_ENTRY ISC_TIMESTAMP* IIF_TS(const int16_t* condition, ISC_TIMESTAMP* first,
                                   ISC_TIMESTAMP* second) noexcept;
VANTOR_ENTRY char* IIF_S(const int16_t* condition, char* first, char* second) noexcept;
VANTOR_ENTRY int32_t* IIF_I(const int16_t* condition, int32_t* first, int32_t* second) noexcept;
VANTOR_ENTRY double* IIF_DP(const int16_t* condition, double* first, double* second) noexcept;
VANTOR_ENTRY double DivDP(const double* dividend, const double* divisor) noexcept;

VANTOR_ENTRY int32_t BLOB2I(BLOBCALLBACK blob) noexcept;
VANTOR_ENTRY int32_t BLOB2SO(BLOBCALLBACK blob, const int32_t* key, const int32_t* limit) noexcept;
