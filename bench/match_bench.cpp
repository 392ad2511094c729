// Match, per call including compile and free, on typical masks and on masks
// that make a plain backtracking matcher explode; the reference matcher of
// the tests ("plain") runs beside it wherever it finishes in reasonable
// time, and the UDR module's way (the compiled mask kept between calls)
// beside both. Each row carries its goal in ns (goal_ns): 150 for a typical
// mask, 100 for one literal between two any-runs, 10 ms for a pathological
// one on i386.
#include <benchmark/benchmark.h>

#include <string>

#include "mask/mask.h"
#include "mask_reference.h"
#include "legacy/entry_points.h"

namespace {

struct Input {
    std::string text;
    std::string mask;
};

Input Invoice() { return {"INV-2024-000123", "INV-####*"}; }
Input Substring() {
    std::string text(64, 'x');
    text.replace(40, 3, "abc");
    return {text, "*abc*"};
}
Input SetAndGroup() { return {"abcxa-tail", "[2-5:az;!q]x{a;b}*"}; }
Input DateInText() {
    std::string text = "Document D 2024/05 dated 2024-05-17, filed under section 12-b.";
    text.resize(64, '.');
    return {text, "D*\\s2024/##*"};
}
Input Prefixes() { return {"ORD-2024-000123", "{INV;ORD}-[4:09]-*"}; }
Input EightRuns() { return {std::string(4096, 'a'), "*a*a*a*a*a*a*a*a*b"}; }
// Two any-runs over the longest text SQL can pass: each search of the second
// run fails without a frame at every position, which once went unbudgeted
// and made this quadratic (tens of seconds).
Input TwoRunsLongText() { return {std::string(32765, 'a'), "*a*ab"}; }
Input FiftyAlternatives() {
    // Fifty alternatives, each an any-run pattern, before and after runs.
    std::string mask = "*{";
    for (int i = 0; i < 50; ++i) mask += (i ? ";" : "") + std::string("a*") + static_cast<char>('b' + i % 20) + "*";
    mask += "}*z";
    return {std::string(4096, 'a') + "y", mask};
}
Input BigMaskSequence() {
    // 32 KiB of literals, digits, sets and single any-runs, on a text it
    // matches: deep for a recursive matcher, linear here.
    std::string mask, text;
    while (mask.size() < 32768 - 16) {
        mask += "ab#[2:xy]?_c*";
        text += "ab1xyzcqq";
    }
    return {text, mask};
}
Input BigMaskAlternatives() {
    // 32 KiB: one group of about 4,000 alternatives, the last one matching.
    std::string mask = "{";
    for (int i = 0; mask.size() < 32768 - 16; ++i) mask += "k" + std::to_string(i) + "*;";
    return {"z-last", mask + "z-*}"};
}
Input BigMaskManyRuns() {
    // 32 KiB of runs, sets and optional characters against 4 KiB: about
    // 19,000 elements x 4,097 positions, the worst case of the bound.
    std::string mask;
    while (mask.size() < 32768) mask += "a_[:a]?";
    return {std::string(4096, 'a'), "*" + mask.substr(0, 32767)};
}

Input NestedGroups() {
    // Forty groups deep around an alternative that exhausts backtracking,
    // over the longest text SQL passes: the deepest the bound allows there.
    std::string mask = std::string(40, '{') + "{*a*a*a*a*a*a*a*a*c;*b}" + std::string(40, '}');
    return {std::string(32764, 'a') + "b", mask};
}
Input UnderscoresBeyondOldCap() {
    // Once 0 after 128 MiB of memo tables: 16,000 "_" then 16,000 "a".
    return {std::string(20000, 'a'), std::string(16000, '_') + std::string(16000, 'a')};
}

// The pathological masks of the hostile SQL test, over the same texts: each
// string as SQL's rpad makes it (the pattern repeated, cut at the length).
std::string Rpad(size_t length, const std::string& pattern) {
    std::string out;
    while (out.size() < length) out += pattern;
    out.resize(length);
    return out;
}
const std::string kA32765(32765, 'a');
Input HostileStarRuns() { return {kA32765, Rpad(32000, "*a") + "b"}; }
Input HostilePercents() { return {kA32765, Rpad(16000, "%")}; }
Input HostilePercentsOneShort() { return {std::string(15999, 'a'), Rpad(16000, "%")}; }
Input HostileUnderscoreStars() { return {kA32765, Rpad(20000, "_*") + "b"}; }
Input HostileSetRuns() { return {kA32765, Rpad(30000, "[*:a]") + "b"}; }
Input HostileAlternativeRuns() { return {kA32765, Rpad(30000, "{a;aa}*") + "b"}; }
Input HostileAnyGroups() { return {kA32765, "*" + Rpad(30000, "{a;*}") + "b"}; }
Input HostileSetUnderscores() { return {kA32765, Rpad(30000, "[%:a]_") + "?"}; }
Input HostileTwoLetterGroups() { return {Rpad(32765, "ab"), Rpad(32000, "*{ab;ba}") + "c"}; }

void BM_Match(benchmark::State& state, Input (*make)(), double goalNs) {
    const Input input = make();
    for (auto _ : state) benchmark::DoNotOptimize(Match(input.text.c_str(), input.mask.c_str()));
    state.counters["goal_ns"] = goalNs;
}

// The UDR module's call: the compiled mask kept from row to row.
void BM_Cached(benchmark::State& state, Input (*make)(), double goalNs) {
    const Input input = make();
    vantor::CompiledMaskCache cache;
    for (auto _ : state) benchmark::DoNotOptimize(cache.Match(input.text, input.mask));
    state.counters["goal_ns"] = goalNs;
}

void BM_Reference(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    for (auto _ : state) benchmark::DoNotOptimize(reference::MatchMask(input.text, input.mask));
}

#define TYPICAL(name, make, goal)                   \
    BENCHMARK_CAPTURE(BM_Match, name, make, goal);  \
    BENCHMARK_CAPTURE(BM_Cached, name, make, goal); \
    BENCHMARK_CAPTURE(BM_Reference, name, make)
TYPICAL(invoice, Invoice, 150);
TYPICAL(set_group, SetAndGroup, 150);
TYPICAL(prefixes, Prefixes, 150);
TYPICAL(date_in_text64, DateInText, 150);
TYPICAL(substring64, Substring, 100);
#undef TYPICAL

// Pathological: the reference would run for minutes or longer on these.
#define PATHOLOGICAL(name, make)                                                         \
    BENCHMARK_CAPTURE(BM_Match, name, make, 1e7)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(BM_Cached, name, make, 1e7)->Unit(benchmark::kMicrosecond)
PATHOLOGICAL(eight_runs_4k, EightRuns);
PATHOLOGICAL(two_runs_32k, TwoRunsLongText);
PATHOLOGICAL(fifty_alternatives_4k, FiftyAlternatives);
PATHOLOGICAL(mask_32k_sequence, BigMaskSequence);
PATHOLOGICAL(mask_32k_alternatives, BigMaskAlternatives);
PATHOLOGICAL(mask_32k_runs_on_4k, BigMaskManyRuns);
PATHOLOGICAL(nested_groups_32k, NestedGroups);
PATHOLOGICAL(underscores_beyond_old_cap, UnderscoresBeyondOldCap);
PATHOLOGICAL(hostile_star_runs_32k, HostileStarRuns);
PATHOLOGICAL(hostile_percents_32k, HostilePercents);
PATHOLOGICAL(hostile_percents_one_short_16k, HostilePercentsOneShort);
PATHOLOGICAL(hostile_underscore_stars_32k, HostileUnderscoreStars);
PATHOLOGICAL(hostile_set_runs_32k, HostileSetRuns);
PATHOLOGICAL(hostile_alternative_runs_32k, HostileAlternativeRuns);
PATHOLOGICAL(hostile_any_groups_32k, HostileAnyGroups);
PATHOLOGICAL(hostile_set_underscores_32k, HostileSetUnderscores);
PATHOLOGICAL(hostile_two_letter_groups_32k, HostileTwoLetterGroups);
#undef PATHOLOGICAL

}  // namespace
