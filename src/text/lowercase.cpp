// The code-page-1250 lower-casing of ALC over a run of bytes: the table a
// byte at a time, and one vector form for long texts.
//
// The vector form (AVX2, 32 bytes a step) earns its place on long texts.
// Measured in the engine (Firebird 3.0, SELECT COUNT(*) over 200,000 rows
// calling ALC on mixed-case Czech text; user+sys CPU of the isql process
// that runs the embedded engine, median of 5), the table loop's query over
// the AVX2 form's, legacy / UDR module:
//   4 KiB:     x86-64 1.32 / 1.29, i386 1.14 / 1.10;
//   32000 B:   x86-64 1.74 / 3.19, i386 1.39 / 1.52;
//   256 B:     x86-64 1.06 / 1.05, i386 0.94 / 1.04 (the row's cost hides it).
// An AVX-512 form (64 bytes a step) took 5-7% less than the AVX2 form at
// 32000 B and the same at 4 KiB, too little to keep a second vector form
// for. Below 32 bytes, and on processors without AVX2, the table serves.
#include "text/lowercase.h"

#include <immintrin.h>

#include "frame/processor.h"

namespace vantor {

void LowerCaseBytesPlain(const unsigned char* source, std::size_t length, unsigned char* target) noexcept {
    for (std::size_t i = 0; i < length; ++i) target[i] = kLowerCaseTable[source[i]];
}

// The nibble tables index by each byte's low and high four bits (vpshufb,
// which looks up within each 16-byte half, so both halves carry the tables);
// where Low and High share no bit the Delta lookup is given an index with
// its top bit set, which vpshufb answers with 0. The last step overlaps the
// one before it when the length is not a multiple of 32: folding bytes again
// from the source gives the same bytes.
__attribute__((target("avx2"))) void LowerCaseBytesAvx2(const unsigned char* source, std::size_t length,
                                                        unsigned char* target) {
    if (length < 32) {
        LowerCaseBytesPlain(source, length, target);
        return;
    }
    const __m256i lowTable = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.Low)));
    const __m256i highTable = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.High)));
    const __m256i deltaTable = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kNibbleTables.Delta)));
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

// The form is chosen once, by the dynamic loader as it binds the symbol, the
// way the C library chooses its own memcpy. (The AVX2 form is not declared
// noexcept, though it throws nothing: GCC gives a noexcept function that uses
// intrinsics of a target other than the file's an exception personality,
// which would pull the C++ runtime's unwinder into the library. It is bound
// as the noexcept LowerCaseBytes.)
extern "C" {
using LowerCaseFunction = void (*)(const unsigned char*, std::size_t, unsigned char*) noexcept;
VANTOR_RESOLVER LowerCaseFunction ResolveLowerCaseBytes() noexcept {
    if (ProcessorHasAvx2()) return reinterpret_cast<LowerCaseFunction>(LowerCaseBytesAvx2);
    return LowerCaseBytesPlain;
}
}

#if defined(_WIN32)
// Windows modules have no such binding: the form is chosen once, as the
// module loads.
namespace {
const LowerCaseFunction kLowerCaseBytes = ResolveLowerCaseBytes();
}  // namespace

void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept {
    kLowerCaseBytes(source, length, target);
}
#else
void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept
    __attribute__((ifunc("ResolveLowerCaseBytes")));
#endif

}  // namespace vantor
