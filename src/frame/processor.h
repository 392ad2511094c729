// What the processor running this code offers, asked with CPUID (and XGETBV
// for the AVX registers, which the operating system must save). These are
// called only by the load-time resolvers (ifunc), which the dynamic loader
// runs once as it binds a symbol: CPUID traps to the hypervisor on a virtual
// machine and costs microseconds, so no call of a function asks it.
#pragma once

#include <cpuid.h>

namespace vantor {

inline bool ProcessorHasSse2() noexcept {
#if defined(__SSE2__)
    return true;
#else
    unsigned eax, ebx, ecx, edx;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0;
#endif
}

inline bool ProcessorHasSsse3() noexcept {
    unsigned eax, ebx, ecx, edx;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0 && (ecx & bit_SSSE3) != 0;
}

// AVX2, with the YMM registers enabled by the operating system.
inline bool ProcessorHasAvx2() noexcept {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0) return false;
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0x6) != 0x6) return false;  // XMM and YMM state saved
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX2) != 0;
}

// AVX-512 with its byte instructions (BW) and byte permutes (VBMI), with
// the opmask and ZMM registers enabled by the operating system.
inline bool ProcessorHasAvx512Vbmi() noexcept {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0) return false;
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0xE6) != 0xE6) return false;  // XMM, YMM, opmask and ZMM state saved
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_AVX512F) != 0 && (ebx & bit_AVX512BW) != 0 && (ecx & bit_AVX512VBMI) != 0;
}

}  // namespace vantor
