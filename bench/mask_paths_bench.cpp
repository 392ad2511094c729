// What each specialised matcher of the mask engine saves, against the
// matcher that would decide the same call without it:
//   the direct path: MatchMaskOutcome, which tries it first (DirectCall),
//     against compiling the mask and matching the compiled form, as the
//     call does for every mask the direct path leaves (CompiledCall); and
//     with the compiled mask kept between calls, CompiledMaskCache::Match
//     (DirectCached) against matching the kept compiled form alone
//     (CompiledKept), which is what the cache would cost without it;
//   the position sets: MatchByPositionSets (PositionSets) against the
//     position tables on the same compiled mask (PositionTables), for masks
//     that run backtracking out of its budget.
// Each pair is checked to give the same outcome before it is timed. The
// position tables take up to a second a call on the hostile masks. Run the
// pairs side by side, e.g.
//   vantor_bench --benchmark_filter='Direct|Compiled' --benchmark_repetitions=5
//     --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "mask/compiled.h"

namespace {

using vantor::CompiledMask;
using vantor::MatchOutcome;

struct Input {
    std::string text;
    std::string mask;
};

// Compiles a mask as the whole test does: escapes encoded first.
bool CompileAsWritten(const std::string& mask, CompiledMask& compiled) {
    vantor::SmallVec<char, 256> encoded;
    std::string_view source = mask;
    if (mask.find('\\') != std::string::npos) {
        if (!encoded.reserve(static_cast<int64_t>(mask.size()) * 3)) return false;
        source = std::string_view(encoded.data(), static_cast<size_t>(vantor::EncodeEscapes(mask, encoded.data())));
    }
    return vantor::CompileMask(compiled, source);
}

// The call without the direct path: compile, match the compiled form, free.
MatchOutcome CompiledCall(std::string_view text, const std::string& mask) {
    CompiledMask compiled;
    if (!CompileAsWritten(mask, compiled)) return MatchOutcome::TooComplex;
    return vantor::MatchWildcard(compiled, text);
}

// Typical masks on short texts (10-40 bytes) and on a 32,765-byte text.
// The long text is words of a document, the thing the mask looks for
// near its end.
std::string Document(size_t length, const std::string& head, const std::string& tail) {
    static const char* const kWords[] = {"the",  "order", "was",    "shipped", "to",   "customer", "on",
                                         "date", "per",   "section", "of",     "terms", "and",     "invoice"};
    std::mt19937 random(5);
    std::string text = head;
    while (text.size() + tail.size() < length) {
        text += kWords[random() % 14];
        text += random() % 9 ? ' ' : '\n';
    }
    text.resize(length - tail.size());
    return text + tail;
}
constexpr size_t kLong = 32765;

Input Invoice() { return {"INV-2024-000123", "INV-####*"}; }
Input InvoiceLong() { return {Document(kLong, "INV-2024-000123 ", ""), "INV-####*"}; }
Input Substring() { return {"Order 1234 shipped to Berlin by courier", "*Berlin*"}; }
Input SubstringLong() { return {Document(kLong, "", " Berlin by courier"), "*Berlin*"}; }
Input SubstringMissLong() { return {Document(kLong, "", " Munich by courier"), "*Berlin*"}; }
Input FixedField() { return {"12345-Warehouse North", "?????" "-*"}; }
Input FixedFieldLong() { return {Document(kLong, "12345-", ""), "?????" "-*"}; }
Input Prefix() { return {"ORD-2024-000123 paid", "ORD-*"}; }
Input PrefixLong() { return {Document(kLong, "ORD-", ""), "ORD-*"}; }
Input Suffix() { return {"scan_2024_000123.pdf", "*.pdf"}; }
Input SuffixLong() { return {Document(kLong, "", ".pdf"), "*.pdf"}; }

// Masks that run backtracking out of its budget, on 32 KiB texts: those of
// the hostile SQL test that get that far (as match_bench.cpp builds them;
// its "%" run, "{a;aa}*" and "[%:a]_" ones are settled by backtracking)
// and a few shorter ones of the same kind.
std::string Rpad(size_t length, const std::string& pattern) {
    std::string out;
    while (out.size() < length) out += pattern;
    out.resize(length);
    return out;
}
const std::string kA32765(kLong, 'a');
Input EightRuns() { return {kA32765, "*a*a*a*a*a*a*a*a*b"}; }
Input RunsAndSets() { return {kA32765, "*a*[2-9:a]*a_*a%b*"}; }
Input GroupsBetweenRuns() { return {Rpad(kLong, "ab"), "*{ab;ba}*{ab;ba}*{ab;ba}*c"}; }
Input HostileStarRuns() { return {kA32765, Rpad(32000, "*a") + "b"}; }
Input HostileUnderscoreStars() { return {kA32765, Rpad(20000, "_*") + "b"}; }
Input HostileSetRuns() { return {kA32765, Rpad(30000, "[*:a]") + "b"}; }
Input HostileAnyGroups() { return {kA32765, "*" + Rpad(30000, "{a;*}") + "b"}; }
Input BigMaskManyRuns() {
    // The worst case of the bound (as in match_bench.cpp): about 19,000
    // elements of runs, sets and optional characters on 4 KiB.
    std::string mask;
    while (mask.size() < 32768) mask += "a_[:a]?";
    return {std::string(4096, 'a'), "*" + mask.substr(0, 32767)};
}
Input HostileTwoLetterGroups() { return {Rpad(kLong, "ab"), Rpad(32000, "*{ab;ba}") + "c"}; }

// The direct path must decide the mask within the whole test's budget, and
// agree with the compiled form.
bool DirectPair(benchmark::State& state, const Input& input) {
    const int64_t budget = 256 + 8 * static_cast<int64_t>(input.mask.size() + input.text.size());
    const MatchOutcome direct = vantor::MatchDirectly(input.text, input.mask, budget);
    if (direct == MatchOutcome::TooComplex || direct != CompiledCall(input.text, input.mask) ||
        direct != vantor::MatchMaskOutcome(input.text, input.mask)) {
        state.SkipWithError("the direct path does not decide this mask alike");
        return false;
    }
    return true;
}

void BM_DirectCall(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    if (!DirectPair(state, input)) return;
    for (auto _ : state) benchmark::DoNotOptimize(vantor::MatchMaskOutcome(input.text, input.mask));
}

void BM_CompiledCall(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    if (!DirectPair(state, input)) return;
    for (auto _ : state) benchmark::DoNotOptimize(CompiledCall(input.text, input.mask));
}

void BM_DirectCached(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    if (!DirectPair(state, input)) return;
    vantor::CompiledMaskCache cache;
    for (auto _ : state) benchmark::DoNotOptimize(cache.Match(input.text, input.mask));
}

void BM_CompiledKept(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    if (!DirectPair(state, input)) return;
    CompiledMask compiled;
    if (!CompileAsWritten(input.mask, compiled)) return state.SkipWithError("compile failed");
    for (auto _ : state) benchmark::DoNotOptimize(vantor::MatchWildcard(compiled, input.text));
}

#define DIRECT(name, make)                            \
    BENCHMARK_CAPTURE(BM_DirectCall, name, make);     \
    BENCHMARK_CAPTURE(BM_CompiledCall, name, make);   \
    BENCHMARK_CAPTURE(BM_DirectCached, name, make);   \
    BENCHMARK_CAPTURE(BM_CompiledKept, name, make)
DIRECT(invoice15, Invoice);
DIRECT(invoice_32k, InvoiceLong);
DIRECT(substring39, Substring);
DIRECT(substring_32k, SubstringLong);
DIRECT(substring_miss_32k, SubstringMissLong);
DIRECT(fixed_field21, FixedField);
DIRECT(fixed_field_32k, FixedFieldLong);
DIRECT(prefix20, Prefix);
DIRECT(prefix_32k, PrefixLong);
DIRECT(suffix20, Suffix);
DIRECT(suffix_32k, SuffixLong);
#undef DIRECT

// The position sets must decide the mask themselves, backtracking must give
// it up within the whole test's budget (2 steps an item on these large
// inputs), and both exact paths must agree.
bool ExactPair(benchmark::State& state, const Input& input, CompiledMask& compiled) {
    const char* fault = nullptr;
    if (!CompileAsWritten(input.mask, compiled)) {
        fault = "compile failed";
    } else if (!vantor::PositionSetsDecide(compiled, input.text.size())) {
        fault = "the position sets leave this mask to the tables";
    } else {
        const int64_t budget = 256 + 2 * (compiled.Elements.size() + static_cast<int64_t>(input.text.size()));
        if (vantor::MatchByBacktracking(compiled, input.text, budget) != MatchOutcome::TooComplex)
            fault = "backtracking decides this mask";
        else if (vantor::MatchByPositionSets(compiled, input.text) != vantor::MatchByPositions(compiled, input.text))
            fault = "the exact paths disagree";
    }
    if (fault) state.SkipWithError(fault);
    return !fault;
}

void BM_PositionSets(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    CompiledMask compiled;
    if (!ExactPair(state, input, compiled)) return;
    for (auto _ : state) benchmark::DoNotOptimize(vantor::MatchByPositionSets(compiled, input.text));
}

void BM_PositionTables(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    CompiledMask compiled;
    if (!ExactPair(state, input, compiled)) return;
    for (auto _ : state) benchmark::DoNotOptimize(vantor::MatchByPositions(compiled, input.text));
}

#define EXACT(name, make)                                                                 \
    BENCHMARK_CAPTURE(BM_PositionSets, name, make)->Unit(benchmark::kMicrosecond);        \
    BENCHMARK_CAPTURE(BM_PositionTables, name, make)->Unit(benchmark::kMicrosecond)
EXACT(eight_runs_32k, EightRuns);
EXACT(runs_and_sets_32k, RunsAndSets);
EXACT(groups_between_runs_32k, GroupsBetweenRuns);
EXACT(hostile_star_runs_32k, HostileStarRuns);
EXACT(hostile_underscore_stars_32k, HostileUnderscoreStars);
EXACT(hostile_set_runs_32k, HostileSetRuns);
EXACT(hostile_any_groups_32k, HostileAnyGroups);
EXACT(hostile_two_letter_groups_32k, HostileTwoLetterGroups);
EXACT(mask_32k_runs_on_4k, BigMaskManyRuns);
#undef EXACT

}  // namespace
