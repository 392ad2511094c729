// Conditional choice between two values of one type (the IIF functions) and
// division with a zero guard (DivDP).
#pragma once

#include <cmath>
#include <cstdint>

#include "frame/extended.h"

namespace vantor {

// The choice of every IIF function: a condition above 0 picks the first
// alternative; 0 and a negative condition pick the second. The adapters
// pass the alternatives' addresses, which come back unread.
template <typename Value>
Value Choose(int16_t condition, Value first, Value second) {
    return condition > 0 ? first : second;
}

// Whether DivDP answers the divisor with +0.0 without dividing: +0.0, -0.0
// and NaN (the comparisons are quiet, so a NaN raises nothing).
inline bool IsGuardedDivisor(double divisor) {
    return !(std::isless(divisor, 0.0) || std::isgreater(divisor, 0.0));
}

// The quotient at extended precision, under the calling thread's x87 control
// word (on Windows, under ExtendedArithmetic's), rounded to double once.
inline double ExtendedQuotient(double dividend, double divisor) {
    const ExtendedArithmetic extended;
    return RoundToDouble(static_cast<long double>(extended.Operand(dividend)) /
                         static_cast<long double>(extended.Operand(divisor)));
}

}  // namespace vantor
