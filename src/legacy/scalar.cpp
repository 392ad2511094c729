// The legacy entry points of the choice and division functions: IIF_D,
// IIF_T, IIF_TS, IIF_S, IIF_I, IIF_DP and DivDP.
//
// The IIF functions read only the condition, and a missing one (SQL's NULL
// is not true) picks the second alternative; the alternatives' words come
// back as they arrived. That is also why IIF_I, IIF_D and IIF_T work when
// declared with both alternatives and the result BY VALUE: the chosen
// 32-bit value itself is then the result word.
#include "legacy/entry_points.h"
#include "scalar/scalar.h"

VANTOR_ENTRY ISC_DATE* IIF_D(const int16_t* condition, ISC_DATE* first, ISC_DATE* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

VANTOR_ENTRY ISC_TIME* IIF_T(const int16_t* condition, ISC_TIME* first, ISC_TIME* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

VANTOR_ENTRY ISC_TIMESTAMP* IIF_TS(const int16_t* condition, ISC_TIMESTAMP* first,
                                   ISC_TIMESTAMP* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

VANTOR_ENTRY char* IIF_S(const int16_t* condition, char* first, char* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

VANTOR_ENTRY int32_t* IIF_I(const int16_t* condition, int32_t* first, int32_t* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

VANTOR_ENTRY double* IIF_DP(const int16_t* condition, double* first, double* second) noexcept {
    return vantor::Choose(condition ? *condition : int16_t{0}, first, second);
}

// A divisor of +0.0, -0.0 or NaN gives +0.0 and the dividend is not read. A
// missing argument gives +0.0 too, the answer that needs no operand.
VANTOR_ENTRY double DivDP(const double* dividend, const double* divisor) noexcept {
    if (!divisor || vantor::IsGuardedDivisor(*divisor) || !dividend) return 0.0;
    return vantor::ExtendedQuotient(*dividend, *divisor);
}
