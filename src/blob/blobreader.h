// BLOB readers: the first INTEGER of a BLOB (BLOB2I) and the count of
// matching 8-byte (key, value) records among its first 512 KiB (BLOB2SO),
// over a reader of the BLOB's bytes in order, which each adapter makes of
// its server's interface.
//
// Both read in pieces of at most 65535 bytes (the largest request the
// legacy interface can express) until they have the bytes they want or the
// BLOB has nothing more to give; nothing past a request is ever read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

// A record: key at bytes 0-3, value at bytes 4-7, both signed 32-bit
// little-endian, packed back to back from the first byte of the BLOB.
constexpr size_t kRecordSize = 8;
// BLOB2SO examines at most the first 524288 bytes (65536 records).
constexpr int32_t kRecordScanLimit = 524288;
// The largest request the legacy interface can express.
constexpr size_t kMaxSegmentRequest = 65535;
// BLOB2SO streams the BLOB through a buffer of this many bytes (plus room for
// the start of a record split across two deliveries).
constexpr size_t kReadChunk = 16384;

static_assert(kReadChunk <= kMaxSegmentRequest, "a chunk is asked for in one call");
static_assert(kReadChunk % kRecordSize == 0 && kRecordScanLimit % kRecordSize == 0,
              "chunks and the scan limit hold whole records");

// A reader of a BLOB's bytes in order: each call asks for 1 to 65535 bytes
// into `into` and returns how many it delivered, never more than asked; 0
// means the BLOB has nothing more to give. The legacy entry points read
// through the server's BLOBCALLBACK (src/legacy/blob.cpp), the UDR functions
// through the engine's blob interface; the readers below take either.
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

// The same count over `records` whole records packed in memory at `bytes`.
uint32_t CountMatchingRecords(const unsigned char* bytes, size_t records, int32_t key,
                              int32_t limit) noexcept;

}  // namespace vantor
