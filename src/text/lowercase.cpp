// The code-page-1250 lower-casing of ALC over a run of bytes.
#include "text/lowercase.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "frame/udf.h"

#if defined(__i386__) && !defined(__SSE2__)
#include <cpuid.h>
#endif

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

#if defined(__i386__) && !defined(__SSE2__)

// The i386 flavour assumes no SSE2, so the sixteen-byte blocks above are
// done in pairs of 32-bit registers. Where the processor has SSE2 the same
// code, compiled for it, folds a block in a few vector instructions. The
// choice is made once, by the dynamic loader as it binds the symbol (as
// BLOB2SO chooses its count); the two are the same arithmetic, so they give
// the same bytes.
__attribute__((target("sse2"))) void LowerCaseBytesSse2(const unsigned char* source, std::size_t length,
                                                        unsigned char* target) noexcept {
    FoldBytes(source, length, target);
}

void LowerCaseBytesPlain(const unsigned char* source, std::size_t length, unsigned char* target) noexcept {
    FoldBytes(source, length, target);
}

extern "C" {
using LowerCaseFunction = void (*)(const unsigned char*, std::size_t, unsigned char*) noexcept;
static LowerCaseFunction ResolveLowerCaseBytes() noexcept {
    unsigned eax, ebx, ecx, edx;
    const bool sse2 = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0;
    return sse2 ? LowerCaseBytesSse2 : LowerCaseBytesPlain;
}
}

void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept
    __attribute__((ifunc("ResolveLowerCaseBytes")));

#else

void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept {
    FoldBytes(source, length, target);
}

#endif

}  // namespace vantor
