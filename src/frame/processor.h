// What the processor running this code offers, as the compiler's runtime
// reads it (CPUID, and XGETBV for the vector registers the operating system
// saves). Asked only by the load-time resolvers (ifunc), which the dynamic
// loader runs as it binds a symbol, before any constructor: hence the
// explicit __builtin_cpu_init. CPUID traps to the hypervisor on a virtual
// machine and costs microseconds, so no call of a function asks it.
#pragma once

namespace vantor {

// A resolver runs before the sanitizers' runtime is set up, so neither it nor
// this reading of the runtime's processor record may be instrumented.
#define VANTOR_RESOLVER __attribute__((no_sanitize("address", "thread", "undefined")))

// AVX2, with the YMM registers enabled by the operating system.
VANTOR_RESOLVER inline bool ProcessorHasAvx2() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace vantor
