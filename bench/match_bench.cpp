// Match, per call including compile and free, on typical masks and on masks
// that make a plain backtracking matcher explode; the reference matcher of
// the tests runs beside it wherever it finishes in reasonable time.
#include <benchmark/benchmark.h>

#include <string>

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
Input SetAndGroup() { return {"abcdxbzz", "[2-5:az;!q]x{a;b}*"}; }
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

void BM_Match(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    for (auto _ : state) benchmark::DoNotOptimize(Match(input.text.c_str(), input.mask.c_str()));
}

void BM_Reference(benchmark::State& state, Input (*make)()) {
    const Input input = make();
    for (auto _ : state) benchmark::DoNotOptimize(reference::MatchMask(input.text, input.mask));
}

BENCHMARK_CAPTURE(BM_Match, invoice, Invoice);
BENCHMARK_CAPTURE(BM_Reference, invoice, Invoice);
BENCHMARK_CAPTURE(BM_Match, substring64, Substring);
BENCHMARK_CAPTURE(BM_Reference, substring64, Substring);
BENCHMARK_CAPTURE(BM_Match, set_group, SetAndGroup);
BENCHMARK_CAPTURE(BM_Reference, set_group, SetAndGroup);
BENCHMARK_CAPTURE(BM_Match, prefixes, Prefixes);
BENCHMARK_CAPTURE(BM_Reference, prefixes, Prefixes);
// Pathological: the reference would run for minutes or longer on these.
BENCHMARK_CAPTURE(BM_Match, eight_runs_4k, EightRuns)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Match, two_runs_32k, TwoRunsLongText)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Match, fifty_alternatives_4k, FiftyAlternatives)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Match, mask_32k_sequence, BigMaskSequence)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Match, mask_32k_alternatives, BigMaskAlternatives)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Match, mask_32k_runs_on_4k, BigMaskManyRuns)->Unit(benchmark::kMicrosecond);

}  // namespace
