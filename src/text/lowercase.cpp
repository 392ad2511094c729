// The code-page-1250 lower-casing of ALC over a run of bytes.
#include "text/lowercase.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "frame/udf.h"

#include <immintrin.h>

#include "frame/processor.h"

namespace vantor {
namespace {

// Sixteen bytes as two 64-bit lanes: SSE2 registers on x86-64, pairs of
// 32-bit registers on i386. Each lane holds eight bytes side by side.
typedef uint64_t Block __attribute__((vector_size(16), aligned(1)));
constexpr std::size_t kBlockBytes = sizeof(Block);
constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x80 * kEveryByte;

}  // namespace

// Text is folded sixteen bytes at a time. A block of ASCII bytes (all below
// 0x80) is folded by arithmetic on all its bytes at once: adding 0x80 - 'A'
// to a byte below 0x80 sets its top bit exactly when it is 'A' or above, and
// cannot carry into the next byte; adding 0x80 - ('Z' + 1) does the same for
// the bytes above 'Z'. The capitals, which have bit 0x20 clear, get it set.
// A block holding any byte of 0x80 or above goes through the table.
namespace {

inline __attribute__((always_inline)) void FoldBytes(const unsigned char* source, std::size_t length,
                                                     unsigned char* target) noexcept {
    std::size_t i = 0;
    for (; length - i >= kBlockBytes; i += kBlockBytes) {
        uint64_t low, high;  // the block's two halves, for the test alone
        std::memcpy(&low, source + i, 8);
        std::memcpy(&high, source + i + 8, 8);
        if (((low | high) & kHighBits) == 0) {
            Block bytes;
            std::memcpy(&bytes, source + i, kBlockBytes);
            const Block atLeastA = bytes + (0x80 - 'A') * kEveryByte;
            const Block aboveZ = bytes + (0x80 - 'Z' - 1) * kEveryByte;
            const Block capitals = atLeastA & ~aboveZ & kHighBits;
            const Block folded = bytes | (capitals >> 2);
            std::memcpy(target + i, &folded, kBlockBytes);
        } else {
            for (std::size_t j = i; j < i + kBlockBytes; ++j) target[j] = kLowerCaseTable[source[j]];
        }
    }
    for (; i < length; ++i) target[i] = kLowerCaseTable[source[i]];
}

}  // namespace

// Sixteen bytes folded by the nibble tables (SSSE3): the low and high four
// bits of each byte index the tables with pshufb; where Low and High share
// no bit the Delta lookup is given an index with its top bit set, which
// pshufb answers with 0.
namespace {

__attribute__((target("ssse3"), always_inline)) inline __m128i FoldSixteen(__m128i bytes) {
    const __m128i lowTable = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.Low));
    const __m128i highTable = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.High));
    const __m128i deltaTable = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.Delta));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i low = _mm_and_si128(bytes, nibble);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
    const __m128i groups = _mm_and_si128(_mm_shuffle_epi8(lowTable, low), _mm_shuffle_epi8(highTable, high));
    const __m128i unchanged = _mm_cmpeq_epi8(groups, _mm_setzero_si128());
    return _mm_add_epi8(bytes, _mm_shuffle_epi8(deltaTable, _mm_or_si128(high, unchanged)));
}

// The last length % 16 bytes of a text of 16 bytes or more: the last sixteen
// folded again from the source (overlapping what is done, to the same bytes).
// A shorter text goes through the table.
__attribute__((target("ssse3"), always_inline)) inline void FoldTail(const unsigned char* source,
                                                                   std::size_t length, std::size_t done,
                                                                   unsigned char* target) {
    if (done == length) return;
    if (length >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + length - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + length - 16), FoldSixteen(bytes));
        return;
    }
    for (std::size_t i = done; i < length; ++i) target[i] = kLowerCaseTable[source[i]];
}

}  // namespace

__attribute__((target("ssse3"))) void LowerCaseBytesSsse3(const unsigned char* source, std::size_t length,
                                                          unsigned char* target) {
    std::size_t i = 0;
    for (; length - i >= 16; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), FoldSixteen(bytes));
    }
    FoldTail(source, length, i, target);
}

// The nibble tables twice over, for the two 16-byte halves of an AVX
// register (vpshufb looks up within each half).
struct WideNibbleTables {
    unsigned char Low[32];
    unsigned char High[32];
    unsigned char Delta[32];
};

constexpr WideNibbleTables MakeWideNibbleTables() {
    WideNibbleTables tables{};
    for (int i = 0; i < 32; ++i) {
        tables.Low[i] = kNibbleTables.Low[i % 16];
        tables.High[i] = kNibbleTables.High[i % 16];
        tables.Delta[i] = kNibbleTables.Delta[i % 16];
    }
    return tables;
}

constexpr WideNibbleTables kWideNibbleTables = MakeWideNibbleTables();

// Thirty-two bytes a step; the last step overlaps the one before it when
// the length is not a multiple of 32 (folding bytes again from the source
// gives the same bytes). Texts below 32 bytes go to the SSSE3 form.
__attribute__((target("avx2"))) void LowerCaseBytesAvx2(const unsigned char* source, std::size_t length,
                                                        unsigned char* target) {
    if (length < 32) {
        LowerCaseBytesSsse3(source, length, target);
        return;
    }
    const __m256i lowTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kWideNibbleTables.Low));
    const __m256i highTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kWideNibbleTables.High));
    const __m256i deltaTable = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kWideNibbleTables.Delta));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    std::size_t i = 0;
    for (;;) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
        const __m256i low = _mm256_and_si256(bytes, nibble);
        const __m256i high = _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble);
        const __m256i groups = _mm256_and_si256(_mm256_shuffle_epi8(lowTable, low), _mm256_shuffle_epi8(highTable, high));
        const __m256i unchanged = _mm256_cmpeq_epi8(groups, _mm256_setzero_si256());
        const __m256i delta = _mm256_shuffle_epi8(deltaTable, _mm256_or_si256(high, unchanged));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i), _mm256_add_epi8(bytes, delta));
        if (i + 32 == length) return;
        i = length - i - 32 >= 32 ? i + 32 : length - 32;
    }
}

namespace {

struct FoldTable {
    __m512i Quarters[4];
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline void FoldSixtyFour(
    const FoldTable& table, const unsigned char* source, unsigned char* target) {
    const __m512i bytes = _mm512_loadu_si512(source);
    const __m512i lower = _mm512_permutex2var_epi8(table.Quarters[0], bytes, table.Quarters[1]);
    const __m512i upper = _mm512_permutex2var_epi8(table.Quarters[2], bytes, table.Quarters[3]);
    _mm512_storeu_si512(target, _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), lower, upper));
}

}  // namespace

// Sixty-four bytes a step through the whole table: the low seven bits of
// each byte index the lower half (table bytes 0-127) and the upper half
// (128-255) with two-register byte permutes, and the byte's top bit picks
// one. The last step overlaps the one before it as in the AVX2 form; texts
// below 64 bytes go to the AVX2 form.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void LowerCaseBytesAvx512Vbmi(const unsigned char* source,
                                                                                     std::size_t length,
                                                                                     unsigned char* target) {
    if (length < 64) {
        LowerCaseBytesAvx2(source, length, target);
        return;
    }
    const unsigned char* table = kLowerCaseTable.data();
    const __m512i quarter0 = _mm512_loadu_si512(table);
    const __m512i quarter1 = _mm512_loadu_si512(table + 64);
    const __m512i quarter2 = _mm512_loadu_si512(table + 128);
    const __m512i quarter3 = _mm512_loadu_si512(table + 192);
    const FoldTable quarters{quarter0, quarter1, quarter2, quarter3};
    // The first step as it falls, then steps that load whole cache lines
    // (a load split over two lines makes the loop up to twice as slow, more
    // than a split store does), then the last step: the three may overlap.
    FoldSixtyFour(quarters, source, target);
    std::size_t i = 64 - (reinterpret_cast<std::uintptr_t>(source) & 63);
    for (; length - i >= 64; i += 64) FoldSixtyFour(quarters, source + i, target + i);
    if (i < length) FoldSixtyFour(quarters, source + length - 64, target + length - 64);
}

// The forms without SSSE3. The i386 flavour assumes no SSE2, so its
// sixteen-byte blocks are pairs of 32-bit registers; where the processor has
// SSE2 the same code compiled for it does a block in a few vector
// instructions. The two are the same arithmetic, so they give the same bytes.
__attribute__((target("sse2"))) void LowerCaseBytesSse2(const unsigned char* source, std::size_t length,
                                                        unsigned char* target) noexcept {
    FoldBytes(source, length, target);
}

#if defined(__i386__) && !defined(__SSE2__)
void LowerCaseBytesPlain(const unsigned char* source, std::size_t length, unsigned char* target) noexcept {
    FoldBytes(source, length, target);
}
#endif

// The form is chosen once, by the dynamic loader as it binds the symbol (as
// BLOB2SO chooses its count), from what the processor offers. (The SSSE3 and
// AVX2 forms are not declared noexcept, though they throw nothing: GCC gives
// a noexcept function that uses intrinsics of a target other than the file's
// an exception personality, which would pull the C++ runtime's unwinder into
// the library. They are bound as the noexcept LowerCaseBytes.)
extern "C" {
using LowerCaseFunction = void (*)(const unsigned char*, std::size_t, unsigned char*) noexcept;
LowerCaseFunction ResolveLowerCaseBytes() noexcept {
    if (ProcessorHasAvx512Vbmi()) return reinterpret_cast<LowerCaseFunction>(LowerCaseBytesAvx512Vbmi);
    if (ProcessorHasAvx2()) return reinterpret_cast<LowerCaseFunction>(LowerCaseBytesAvx2);
    if (ProcessorHasSsse3()) return reinterpret_cast<LowerCaseFunction>(LowerCaseBytesSsse3);
#if defined(__i386__) && !defined(__SSE2__)
    if (!ProcessorHasSse2()) return LowerCaseBytesPlain;
#endif
    return LowerCaseBytesSse2;
}
}

void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept
    __attribute__((ifunc("ResolveLowerCaseBytes")));

}  // namespace vantor
