// BLOB readers: BLOB2I and BLOB2SO, streaming a BLOB through a small buffer.
//
// The record count has one vector form (AVX2, sixteen records a step) beside
// the plain loop: BLOB_MEASUREMENT_PLACEHOLDER
#include "blob/blobreader.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

#include "frame/processor.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "records are read as little-endian integers in place");

namespace vantor {
namespace {

int32_t LoadInt32(const unsigned char* bytes) noexcept {
    int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace

int32_t FirstIntegerOfChunks(ChunkReader reader) noexcept {
    unsigned char bytes[4] = {0, 0, 0, 0};
    size_t received = 0;
    while (received < sizeof bytes) {
        const size_t got = reader.Read(reader.Context, bytes + received, sizeof bytes - received);
        if (got == 0) break;
        received += got;
    }
    return LoadInt32(bytes);
}

int32_t CountRecordsInChunks(ChunkReader reader, size_t wanted, int32_t key, int32_t limit) noexcept {
    wanted = std::min(wanted, static_cast<size_t>(kRecordScanLimit));
    // The first `carried` bytes of the buffer are the start of a record whose
    // rest is still to come; each delivery lands right after them.
    alignas(16) unsigned char buffer[kRecordSize - 1 + kReadChunk];
    size_t carried = 0;
    size_t received = 0;
    uint32_t count = 0;
    while (received < wanted) {
        const size_t got = reader.Read(reader.Context, buffer + carried, std::min(kReadChunk, wanted - received));
        if (got == 0) break;
        received += got;
        const size_t held = carried + got;
        const size_t records = held / kRecordSize;
        count += CountMatchingRecords(buffer, records, key, limit);
        carried = held - records * kRecordSize;
        std::memmove(buffer, buffer + records * kRecordSize, carried);
    }
    return static_cast<int32_t>(count);
}

uint32_t CountMatchingRecordsPlain(const unsigned char* bytes, size_t records, int32_t key,
                                   int32_t limit) noexcept {
    uint32_t count = 0;
    for (size_t i = 0; i < records; ++i, bytes += kRecordSize) {
        count += (LoadInt32(bytes) == key) & (LoadInt32(bytes + 4) < limit);
    }
    return count;
}

// Sixteen records a step, in two sets of eight: each pair of 32-byte loads
// is split into eight keys and eight values, the same split in each 16-byte
// half of the AVX registers (the keys and values come out in another order
// than stored, the same order for both, which a count does not see).
// Subtracting a matching lane (all ones) adds 1 to that lane's count.
__attribute__((target("avx2")))
uint32_t CountMatchingRecordsAvx2(const unsigned char* bytes, size_t records, int32_t key,
                                  int32_t limit) noexcept {
    const __m256i keys = _mm256_set1_epi32(key);
    const __m256i limits = _mm256_set1_epi32(limit);
    __m256i countsA = _mm256_setzero_si256();
    __m256i countsB = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 16 <= records; i += 16, bytes += 16 * kRecordSize) {
        const __m256 first = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)));
        const __m256 second = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32)));
        const __m256 third = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 64)));
        const __m256 fourth = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 96)));
        const __m256i keysA = _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m256i valuesA = _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m256i keysB = _mm256_castps_si256(_mm256_shuffle_ps(third, fourth, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m256i valuesB = _mm256_castps_si256(_mm256_shuffle_ps(third, fourth, _MM_SHUFFLE(3, 1, 3, 1)));
        countsA = _mm256_sub_epi32(countsA, _mm256_and_si256(_mm256_cmpeq_epi32(keysA, keys),
                                                             _mm256_cmpgt_epi32(limits, valuesA)));
        countsB = _mm256_sub_epi32(countsB, _mm256_and_si256(_mm256_cmpeq_epi32(keysB, keys),
                                                             _mm256_cmpgt_epi32(limits, valuesB)));
    }
    // (Stored whole: taking the halves apart with 128-bit intrinsics here
    // makes the i386 build give this function an exception personality,
    // which pulls the C++ runtime's unwinder into the library.)
    uint32_t lanes[8];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), _mm256_add_epi32(countsA, countsB));
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7] +
           CountMatchingRecordsPlain(bytes, records - i, key, limit);
}

// The form is chosen once, by the dynamic loader as it binds this symbol,
// as ALC chooses its own; nothing is stored by the library.
extern "C" {
using CountFunction = uint32_t (*)(const unsigned char*, size_t, int32_t, int32_t) noexcept;
CountFunction ResolveCountMatchingRecords() noexcept {
    return ProcessorHasAvx2() ? CountMatchingRecordsAvx2 : CountMatchingRecordsPlain;
}
}

uint32_t CountMatchingRecords(const unsigned char* bytes, size_t records, int32_t key,
                              int32_t limit) noexcept __attribute__((ifunc("ResolveCountMatchingRecords")));

}  // namespace vantor
