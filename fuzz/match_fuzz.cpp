// libFuzzer target for Match: the input is split at its first zero byte into
// a mask and a text (no zero byte: all mask, empty text). Every input must
// return normally, clean under ASan and UBSan, and every way the engine
// decides must agree: the entry point, the direct path (for masks of its
// kind), backtracking within its budget, the position tables and the
// position sets (where neither is over the bound).
// Short inputs are also checked against the plain reference matcher of the
// unit tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mask/compiled.h"
#include "mask_reference.h"
#include "legacy/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* zero = std::memchr(bytes, 0, size);
    const size_t maskLength = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
    const std::string mask(bytes, maskLength);
    const std::string text = zero ? std::string(bytes + maskLength + 1, size - maskLength - 1) : std::string();
    const std::string textUpToZero(text.c_str());
    const bool matched = Match(textUpToZero.c_str(), mask.c_str()) == 1;

    std::string encoded(mask.size() * 3, '\0');
    encoded.resize(static_cast<size_t>(vantor::EncodeEscapes(mask, &encoded[0])));
    vantor::CompiledMask compiled;
    if (!vantor::CompileMask(compiled, encoded)) std::abort();
    using vantor::MatchOutcome;
    const MatchOutcome tables = vantor::MatchByPositions(compiled, textUpToZero);
    const MatchOutcome sets = vantor::MatchByPositionSets(compiled, textUpToZero);
    if (tables != MatchOutcome::TooComplex && (tables == MatchOutcome::Match) != matched) std::abort();
    if (sets != MatchOutcome::TooComplex && (sets == MatchOutcome::Match) != matched) std::abort();
    const MatchOutcome budgeted = vantor::MatchByBacktracking(compiled, textUpToZero, 1 << 16);
    if (budgeted != MatchOutcome::TooComplex && (budgeted == MatchOutcome::Match) != matched) std::abort();
    const MatchOutcome direct = vantor::MatchDirectly(textUpToZero, mask, 1 << 16);
    if (direct != MatchOutcome::TooComplex && (direct == MatchOutcome::Match) != matched) std::abort();

    // The reference is exponential in the number of any-runs: keep it to
    // inputs where that stays small.
    int runs = 0;
    for (char c : mask) runs += c == '*' || c == '%' || c == '_' || c == '{';
    if (mask.size() <= 24 && textUpToZero.size() <= 12 && runs <= 4 &&
        reference::MatchMask(textUpToZero, mask) != matched)
        std::abort();
    return 0;
}
