// Do-nothing UDFs, one for each argument and result shape of libvantor.so,
// for the engine benchmark only (libvantor_floor.so, never installed). Each
// takes exactly the arguments its vantor counterpart is declared with and
// returns a constant of the same result type, so that a query calling it
// measures what the engine itself spends on a legacy UDF call of that shape:
// the floor under any function of the library. Which floor stands beside
// which function is in src/frame/functions.toml ([[floor]]); the generated
// bench/floor_entry_points.h declares each with the prototype of its
// function, so a floor of another shape does not compile, and
// bench/enginebench.py declares them in SQL from the same table.
#include <cstdint>
#include <cstring>

#include "bench/floor_entry_points.h"
#include "frame/udf.h"

#define FLOOR_ENTRY extern "C" __attribute__((visibility("default")))

// DATE, TIME or TIMESTAMP by reference to DOUBLE PRECISION by value (D2DP,
// T2DP, TS2DP).
FLOOR_ENTRY double FloorDateToDouble(const ISC_DATE*) noexcept { return 0.0; }
FLOOR_ENTRY double FloorTimeToDouble(const ISC_TIME*) noexcept { return 0.0; }
FLOOR_ENTRY double FloorTimestampToDouble(const ISC_TIMESTAMP*) noexcept { return 0.0; }

// DOUBLE PRECISION to DATE or TIME by value (DP2D, DP2T).
FLOOR_ENTRY ISC_DATE FloorDoubleToDate(const double*) noexcept { return 0; }
FLOOR_ENTRY ISC_TIME FloorDoubleToTime(const double*) noexcept { return 0; }

// DOUBLE PRECISION to TIMESTAMP written over the argument (DP2TS): the
// server's day 0 at midnight.
FLOOR_ENTRY ISC_TIMESTAMP* FloorDoubleToTimestamp(double* dp) noexcept {
    if (!dp) return nullptr;
    const ISC_TIMESTAMP zero = {0, 0};
    std::memcpy(dp, &zero, sizeof zero);
    return reinterpret_cast<ISC_TIMESTAMP*>(dp);
}

// DOUBLE PRECISION to SMALLINT by value (DP2Day, DP2Month, DP2Year, DP2DOW),
// and with a CSTRING beside it (DPDOW).
FLOOR_ENTRY uint16_t FloorDoubleToSmallint(const double*) noexcept { return 0; }
FLOOR_ENTRY int16_t FloorDoubleAndTextToSmallint(const double*, const char*) noexcept { return 0; }

// No argument to a FREE_IT TIMESTAMP (Now): the block must come from the
// server's allocator, so the floor allocates one too.
FLOOR_ENTRY ISC_TIMESTAMP* FloorNow() noexcept {
    auto* result = static_cast<ISC_TIMESTAMP*>(ib_util_malloc(sizeof(ISC_TIMESTAMP)));
    if (result) *result = ISC_TIMESTAMP{0, 0};
    return result;
}

// Two CSTRINGs to SMALLINT by value (Match).
FLOOR_ENTRY int16_t FloorTwoTextsToSmallint(const char*, const char*) noexcept { return 0; }

// CSTRING to a FREE_IT CSTRING (ALC): an empty string from the server's
// allocator, so the floor holds the allocation but no copy of the text.
FLOOR_ENTRY char* FloorTextToText(const char*) noexcept {
    auto* result = static_cast<char*>(ib_util_malloc(1));
    if (result) result[0] = '\0';
    return result;
}

// SMALLINT and two values of one type to the address of one of them (IIF_D
// to IIF_DP): the first, whatever the condition.
FLOOR_ENTRY ISC_DATE* FloorChooseDate(const int16_t*, ISC_DATE* first, ISC_DATE*) noexcept { return first; }
FLOOR_ENTRY ISC_TIME* FloorChooseTime(const int16_t*, ISC_TIME* first, ISC_TIME*) noexcept { return first; }
FLOOR_ENTRY ISC_TIMESTAMP* FloorChooseTimestamp(const int16_t*, ISC_TIMESTAMP* first, ISC_TIMESTAMP*) noexcept {
    return first;
}
FLOOR_ENTRY char* FloorChooseText(const int16_t*, char* first, char*) noexcept { return first; }
FLOOR_ENTRY int32_t* FloorChooseInteger(const int16_t*, int32_t* first, int32_t*) noexcept { return first; }
FLOOR_ENTRY double* FloorChooseDouble(const int16_t*, double* first, double*) noexcept { return first; }

// Two DOUBLE PRECISION to DOUBLE PRECISION by value (DivDP).
FLOOR_ENTRY double FloorTwoDoublesToDouble(const double*, const double*) noexcept { return 0.0; }

// BLOB to INTEGER by value (BLOB2I), reading the first four bytes in one
// request, as any reader of the BLOB's start must; and BLOB with two
// INTEGERs (BLOB2SO), reading nothing.
FLOOR_ENTRY int32_t FloorBlobFirst(BLOBCALLBACK blob) noexcept {
    if (!blob || !blob->blob_get_segment) return 0;
    unsigned char bytes[4];
    unsigned short delivered = 0;
    blob->blob_get_segment(blob->blob_handle, bytes, sizeof bytes, &delivered);
    return 0;
}
FLOOR_ENTRY int32_t FloorBlobAndTwoIntegersToInteger(BLOBCALLBACK, const int32_t*, const int32_t*) noexcept {
    return 0;
}

// The same shape as BLOB2SO, reading the first 524288 bytes of the BLOB the
// way BLOB2SO does (one request of at most 65535 bytes at a time, until a
// call delivers nothing) and counting nothing: the engine's cost of handing
// over the bytes, the floor under any reader of them.
FLOOR_ENTRY int32_t FloorBlobRead(BLOBCALLBACK blob, const int32_t*, const int32_t*) noexcept {
    if (!blob || blob->blob_total_length <= 0) return 0;
    unsigned char buffer[65535];
    int32_t left = blob->blob_total_length < 524288 ? blob->blob_total_length : 524288;
    while (left > 0) {
        unsigned short delivered = 0;
        const unsigned short ask = static_cast<unsigned short>(left < 65535 ? left : 65535);
        blob->blob_get_segment(blob->blob_handle, buffer, ask, &delivered);
        if (delivered == 0) break;
        left -= delivered;
    }
    return 0;
}
