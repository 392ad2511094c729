// How the module harness calls a legacy entry point: as the server does,
// through a cast of the resolved address to a C function of 15 untyped
// arguments (cdecl on both Windows architectures), the arguments the
// function takes first and the rest null.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define VANTOR_CDECL __cdecl
#else
#define VANTOR_CDECL
#endif

namespace vantor_harness {

using AnyFunction = void (*)();
using Argument = void*;

// The address of entry point `index` of kEntryPointNames, resolved by name
// when the module was loaded.
AnyFunction EntryPointAddress(int index);

template <typename Result, typename... Arguments>
Result Call(int index, Arguments... arguments) {
    using Function = Result(VANTOR_CDECL*)(Argument, Argument, Argument, Argument, Argument, Argument, Argument,
                                           Argument, Argument, Argument, Argument, Argument, Argument, Argument,
                                           Argument);
    const Argument a[15] = {const_cast<void*>(static_cast<const void*>(arguments))...};
    const Function function = reinterpret_cast<Function>(EntryPointAddress(index));
    return function(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14]);
}

}  // namespace vantor_harness
