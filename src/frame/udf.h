// The boundary between the server and the library: the value types that cross
// it and the convention every entry point follows.
//
// Convention for an entry point:
//   * C linkage, exported under exactly its SQL entry-point name (the version
//     script generated from src/frame/functions.toml hides everything else);
//   * every argument arrives by reference, and a null address never faults;
//   * no exception crosses it: VANTOR_ENTRY functions are noexcept, and the
//     computation under them throws nothing (it reports a failed allocation
//     as a value);
//   * the caller's x87 control word is left exactly as found: on Linux it is
//     never written; on Windows the extended-precision work sets its own for
//     the call and puts the caller's back (ExtendedArithmetic, extended.h);
//   * the body is a thin adapter over a plain C++ function on plain values,
//     which the unit tests call directly.
#pragma once

#include <cstdint>

extern "C" {

// Signed count of days; day 0 is 1858-11-17.
typedef int32_t ISC_DATE;
// Unsigned count of 1/10000 second since midnight.
typedef uint32_t ISC_TIME;

// Where the server's interface headers came first (the UDR adapter), their
// ISC_TIMESTAMP, of this same layout, stands.
#ifndef FB_API_VER
typedef struct {
    ISC_DATE timestamp_date;
    ISC_TIME timestamp_time;
} ISC_TIMESTAMP;
#endif

// The server's record for a BLOB argument. Declared with natural C types so
// that the x86-64 flavour gets the 64-bit host's layout; on i386 it is seven
// 4-byte fields. The sizes in blob_get_segment are 16 bits wide, as the
// server really reads them. The server's callbacks are C functions and never
// throw, which is what lets a noexcept entry point call them without the C++
// runtime's terminate machinery.
typedef struct blobcallback {
    short (*blob_get_segment)(void* handle, unsigned char* buffer,
                              unsigned short buffer_size,
                              unsigned short* delivered) noexcept;
    void* blob_handle;
    int32_t blob_number_segments;
    int32_t blob_max_segment;
    int32_t blob_total_length;
    void (*blob_put_segment)(void* handle, const unsigned char* buffer,
                             unsigned short buffer_size) noexcept;
    int32_t (*blob_lseek)(void* handle, unsigned short mode, int32_t offset) noexcept;
} * BLOBCALLBACK;

// The server's allocator for FREE_IT results (libib_util.so). A C function:
// it never throws, and saying so keeps unwinding code out of its callers.
void* ib_util_malloc(long size) noexcept;

}  // extern "C"

static_assert(sizeof(ISC_TIMESTAMP) == 8, "ISC_TIMESTAMP is 8 bytes");
static_assert(sizeof(void*) != 4 || sizeof(struct blobcallback) == 28,
              "on i386 BLOBCALLBACK is seven 4-byte fields");

#if defined(_WIN32)
#define VANTOR_ENTRY extern "C" __declspec(dllexport)
#else
#define VANTOR_ENTRY extern "C" __attribute__((visibility("default")))
#endif
