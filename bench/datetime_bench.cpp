// The date and time entry points, per call, on moments spread over two
// centuries; each beside its plain version (plain.h), and beside calls of
// do-nothing functions of the same shapes (the floor of a call from this
// loop: on i386 a double result comes back in the x87 register, so a
// function returning a double pays at least one x87 load).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bench_inputs.h"
#include "plain.h"
#include "frame/udf.h"
#include "legacy/entry_points.h"

namespace {

__attribute__((noinline)) uint16_t DoNothing(const double* dp) noexcept {
    asm volatile("" : : "r"(dp) : "memory");
    return 0;
}

// One call per iteration on the next of 4096 inputs.
template <typename Input, typename Call>
void Cycle(benchmark::State& state, std::vector<Input> inputs, Call call) {
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call(&inputs[i]));
        i = (i + 1) & bench::kInputMask;
    }
}

std::vector<ISC_DATE> Dates() {
    std::vector<ISC_DATE> dates;
    for (const ISC_TIMESTAMP& t : bench::Timestamps()) dates.push_back(t.timestamp_date);
    return dates;
}

std::vector<ISC_TIME> Times() {
    std::vector<ISC_TIME> times;
    for (const ISC_TIMESTAMP& t : bench::Timestamps()) times.push_back(t.timestamp_time);
    return times;
}

__attribute__((noinline)) double DoNothingDouble(const double* dp) noexcept {
    asm volatile("" : : "r"(dp) : "memory");
    return *dp;
}

void BM_FloorCall(benchmark::State& state) { Cycle(state, bench::DPValues(), DoNothing); }
void BM_FloorCallDouble(benchmark::State& state) { Cycle(state, bench::DPValues(), DoNothingDouble); }
BENCHMARK(BM_FloorCall);
BENCHMARK(BM_FloorCallDouble);

// Each function, then its plain version under the name Plain_<function>.
#define VANTOR_BENCH_PAIR(Name, Inputs)                                                   \
    void BM_##Name(benchmark::State& state) { Cycle(state, Inputs(), Name); }              \
    void BM_Plain_##Name(benchmark::State& state) { Cycle(state, Inputs(), plain::Name); } \
    BENCHMARK(BM_##Name);                                                                  \
    BENCHMARK(BM_Plain_##Name)

VANTOR_BENCH_PAIR(D2DP, Dates);
VANTOR_BENCH_PAIR(DP2D, bench::DPValues);
VANTOR_BENCH_PAIR(T2DP, Times);
VANTOR_BENCH_PAIR(DP2T, bench::DPValues);
VANTOR_BENCH_PAIR(TS2DP, bench::Timestamps);

// DP2TS writes its result over its argument, so each call gets a fresh copy.
template <ISC_TIMESTAMP* (*Function)(double*) noexcept>
void BM_DP2TSOf(benchmark::State& state) {
    const std::vector<double> inputs = bench::DPValues();
    size_t i = 0;
    for (auto _ : state) {
        double dp = inputs[i];
        benchmark::DoNotOptimize(*Function(&dp));
        i = (i + 1) & bench::kInputMask;
    }
}
BENCHMARK_TEMPLATE(BM_DP2TSOf, DP2TS)->Name("BM_DP2TS");
BENCHMARK_TEMPLATE(BM_DP2TSOf, plain::DP2TS)->Name("BM_Plain_DP2TS");

VANTOR_BENCH_PAIR(DP2Day, bench::DPValues);
VANTOR_BENCH_PAIR(DP2Month, bench::DPValues);
VANTOR_BENCH_PAIR(DP2Year, bench::DPValues);
VANTOR_BENCH_PAIR(DP2DOW, bench::DPValues);

// A list of two weekdays, and the empty list that passes every day.
template <int16_t (*Function)(const double*, const char*) noexcept>
void BM_DPDOWOf(benchmark::State& state) {
    const char* list = state.range(0) ? "67" : "";
    Cycle(state, bench::DPValues(), [list](const double* dp) { return Function(dp, list); });
}
BENCHMARK_TEMPLATE(BM_DPDOWOf, DPDOW)->Name("BM_DPDOW")->Arg(1)->Arg(0);
BENCHMARK_TEMPLATE(BM_DPDOWOf, plain::DPDOW)->Name("BM_Plain_DPDOW")->Arg(1)->Arg(0);

// Now: a block from ib_util_malloc, a clock reading and the local time. The
// block is the server's to free; here it is freed at once.
void BM_Now(benchmark::State& state) {
    for (auto _ : state) {
        ISC_TIMESTAMP* now = Now();
        benchmark::DoNotOptimize(now);
        std::free(now);
    }
}
BENCHMARK(BM_Now);

}  // namespace
