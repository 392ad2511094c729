// BLOB readers: the first INTEGER of a BLOB (BLOB2I) and the count of
// matching 8-byte (key, value) records among its first 512 KiB (BLOB2SO).
//
// A BLOB is read only through its BLOBCALLBACK. The server's blob_get_segment
// takes the buffer size and reports the delivered count as 16-bit numbers and
// delivers at most one segment (or the rest of one) per call, so both readers
// ask in a loop, never for more than 65535 bytes at once, until they have the
// bytes they want or the BLOB has nothing more to give. A count reported
// above the size asked is taken as the size asked: nothing past a request is
// ever read.
//
// A segmented BLOB may hold empty segments (a client may put them), and the
// server delivers each as a call that delivers nothing. So an empty delivery
// ends a read only once there have been more of them than the BLOB has
// segments (blob_number_segments): the server's BLOBs are read whole, and a
// callback that never delivers is still asked only that many times.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/udf.h"

namespace vantor {

// A record: key at bytes 0-3, value at bytes 4-7, both signed 32-bit
// little-endian, packed back to back from the first byte of the BLOB.
constexpr size_t kRecordSize = 8;
// BLOB2SO examines at most the first 524288 bytes (65536 records).
constexpr int32_t kRecordScanLimit = 524288;
// The largest request blob_get_segment can express.
constexpr size_t kMaxSegmentRequest = 65535;
// BLOB2SO streams the BLOB through a buffer of this many bytes (plus room for
// the start of a record split across two deliveries).
constexpr size_t kReadChunk = 16384;

static_assert(kReadChunk <= kMaxSegmentRequest, "a chunk is asked for in one call");
static_assert(kReadChunk % kRecordSize == 0 && kRecordScanLimit % kRecordSize == 0,
              "chunks and the scan limit hold whole records");

// One blob_get_segment call asking for `size` bytes (1 to 65535) into `into`;
// returns the delivered count, never more than `size`. The call's status is
// not read.
size_t GetSegment(const blobcallback& blob, unsigned char* into, size_t size) noexcept;

// Calls GetSegment until it delivers something, or until an empty delivery
// finds `emptyDeliveriesLeft` at 0 or below (the end of the BLOB: returns
// 0); each other empty delivery takes 1 from it.
size_t ReadSome(const blobcallback& blob, unsigned char* into, size_t size,
                int32_t& emptyDeliveriesLeft) noexcept;

// A reader of a BLOB's bytes in order: each call asks for 1 to 65535 bytes
// into `into` and returns how many it delivered, never more than asked; 0
// means the BLOB has nothing more to give. The legacy entry points read
// through the server's BLOBCALLBACK, the UDR functions through the engine's
// blob interface; the readers below take either.
struct ChunkReader {
    size_t (*Read)(void* context, unsigned char* into, size_t size) noexcept;
    void* Context;
};

// The first four bytes a reader delivers as a little-endian signed 32-bit
// integer; bytes it does not deliver read as zero.
int32_t FirstIntegerOfChunks(ChunkReader reader) noexcept;

// The number of whole records among the first `wanted` bytes (at most
// 524288) a reader delivers whose key equals `key` and whose value is below
// `limit` (signed). Records not delivered whole are not counted.
int32_t CountRecordsInChunks(ChunkReader reader, size_t wanted, int32_t key, int32_t limit) noexcept;

// The first four bytes of the BLOB as a little-endian signed 32-bit integer.
// Bytes the BLOB does not have read as zero; empty segments before the first
// bytes are passed over. A null blob_get_segment gives 0.
int32_t FirstIntegerOfBlob(const blobcallback& blob) noexcept;

// The number of whole records among the first min(blob_total_length, 524288)
// bytes whose key equals `key` and whose value is below `limit` (signed).
// A total length of 0 or less gives 0 without a call; so does a null
// blob_get_segment. Records the BLOB does not deliver whole are not counted.
int32_t CountRecordsBelow(const blobcallback& blob, int32_t key, int32_t limit) noexcept;

// The same count over `records` whole records packed in memory at `bytes`.
uint32_t CountMatchingRecords(const unsigned char* bytes, size_t records, int32_t key,
                              int32_t limit) noexcept;

// The record-by-record form of CountMatchingRecords, for machines without
// SSE2 and as the reference the vector form is tested against.
uint32_t CountMatchingRecordsPlain(const unsigned char* bytes, size_t records, int32_t key,
                                   int32_t limit) noexcept;

// The vector forms of CountMatchingRecords, four and sixteen records per
// step; CountMatchingRecords is bound at load time to the fastest the
// processor runs (AVX2, else SSE2, else, on i386, the plain form).
uint32_t CountMatchingRecordsSse2(const unsigned char* bytes, size_t records, int32_t key,
                                  int32_t limit) noexcept;
uint32_t CountMatchingRecordsAvx2(const unsigned char* bytes, size_t records, int32_t key,
                                  int32_t limit) noexcept;

}  // namespace vantor
