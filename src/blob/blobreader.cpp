// BLOB readers: BLOB2I and BLOB2SO, streaming a BLOB through a small buffer.
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

size_t GetSegment(const blobcallback& blob, unsigned char* into, size_t size) noexcept {
    unsigned short delivered = 0;
    blob.blob_get_segment(blob.blob_handle, into, static_cast<unsigned short>(size), &delivered);
    return std::min<size_t>(delivered, size);
}

size_t ReadSome(const blobcallback& blob, unsigned char* into, size_t size,
                int32_t& emptyDeliveriesLeft) noexcept {
    for (;;) {
        const size_t got = GetSegment(blob, into, size);
        if (got > 0 || emptyDeliveriesLeft <= 0) return got;
        --emptyDeliveriesLeft;
    }
}

namespace {

// A BLOBCALLBACK as a chunk reader: ReadSome over it, with its count of
// empty deliveries still allowed.
struct CallbackReader {
    const blobcallback* Blob;
    int32_t EmptyDeliveriesLeft;

    static size_t Read(void* context, unsigned char* into, size_t size) noexcept {
        CallbackReader& self = *static_cast<CallbackReader*>(context);
        return ReadSome(*self.Blob, into, size, self.EmptyDeliveriesLeft);
    }
};

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

int32_t FirstIntegerOfBlob(const blobcallback& blob) noexcept {
    if (!blob.blob_get_segment) return 0;
    CallbackReader source{&blob, blob.blob_number_segments};
    return FirstIntegerOfChunks(ChunkReader{CallbackReader::Read, &source});
}

int32_t CountRecordsBelow(const blobcallback& blob, int32_t key, int32_t limit) noexcept {
    if (!blob.blob_get_segment || blob.blob_total_length <= 0) return 0;
    CallbackReader source{&blob, blob.blob_number_segments};
    return CountRecordsInChunks(ChunkReader{CallbackReader::Read, &source},
                                static_cast<size_t>(blob.blob_total_length), key, limit);
}

uint32_t CountMatchingRecordsPlain(const unsigned char* bytes, size_t records, int32_t key,
                                   int32_t limit) noexcept {
    uint32_t count = 0;
    for (size_t i = 0; i < records; ++i, bytes += kRecordSize) {
        count += (LoadInt32(bytes) == key) & (LoadInt32(bytes + 4) < limit);
    }
    return count;
}

// Four records per step, into two alternating counts. Subtracting a matching
// lane (all ones) adds 1 to that lane's count; a lane counts at most
// records / 8, far below overflow.
__attribute__((target("sse2")))
uint32_t CountMatchingRecordsSse2(const unsigned char* bytes, size_t records, int32_t key,
                                  int32_t limit) noexcept {
    const __m128i keys = _mm_set1_epi32(key);
    const __m128i limits = _mm_set1_epi32(limit);
    __m128i countsA = _mm_setzero_si128();
    __m128i countsB = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 4 <= records; i += 4, bytes += 4 * kRecordSize) {
        // Two 16-byte loads split into four keys and four values.
        const __m128 low = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
        const __m128 high =
            _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16)));
        const __m128i recordKeys = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i recordValues = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i match = _mm_and_si128(_mm_cmpeq_epi32(recordKeys, keys),
                                            _mm_cmplt_epi32(recordValues, limits));
        // Alternate counts, so that consecutive steps do not wait on each other.
        if (i & 4) {
            countsB = _mm_sub_epi32(countsB, match);
        } else {
            countsA = _mm_sub_epi32(countsA, match);
        }
    }
    uint32_t lanes[4];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), _mm_add_epi32(countsA, countsB));
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] +
           CountMatchingRecordsPlain(bytes, records - i, key, limit);
}

// Eight records per step, the same split in each 16-byte half of the AVX
// registers (the keys and values come out in another order than stored,
// the same order for both, which a count does not see).
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
           CountMatchingRecordsSse2(bytes, records - i, key, limit);
}

// A 32-bit x86 processor may lack SSE2, and a 64-bit one AVX2; asking the
// processor (CPUID) traps to the hypervisor on a virtual machine, costing
// microseconds. So the question is asked once, by the dynamic loader as it
// binds this symbol, the way the C library chooses its own memcpy; nothing
// is stored by the library.
extern "C" {
using CountFunction = uint32_t (*)(const unsigned char*, size_t, int32_t, int32_t) noexcept;
CountFunction ResolveCountMatchingRecords() noexcept {
    if (ProcessorHasAvx2()) return CountMatchingRecordsAvx2;
    return ProcessorHasSse2() ? CountMatchingRecordsSse2 : CountMatchingRecordsPlain;
}
}

uint32_t CountMatchingRecords(const unsigned char* bytes, size_t records, int32_t key,
                              int32_t limit) noexcept __attribute__((ifunc("ResolveCountMatchingRecords")));

}  // namespace vantor
