// The date and time entry points, per call, on moments spread over two
// centuries; beside them a call of a do-nothing function of the same shape
// (the floor of a call from this loop).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bench_inputs.h"
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

void BM_FloorCall(benchmark::State& state) { Cycle(state, bench::DPValues(), DoNothing); }
BENCHMARK(BM_FloorCall);

void BM_D2DP(benchmark::State& state) { Cycle(state, Dates(), D2DP); }
void BM_DP2D(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2D); }
void BM_T2DP(benchmark::State& state) { Cycle(state, Times(), T2DP); }
void BM_DP2T(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2T); }
void BM_TS2DP(benchmark::State& state) { Cycle(state, bench::Timestamps(), TS2DP); }
// DP2TS writes its result over its argument, so each call gets a fresh copy.
void BM_DP2TS(benchmark::State& state) {
    const std::vector<double> inputs = bench::DPValues();
    size_t i = 0;
    for (auto _ : state) {
        double dp = inputs[i];
        benchmark::DoNotOptimize(*DP2TS(&dp));
        i = (i + 1) & bench::kInputMask;
    }
}
BENCHMARK(BM_D2DP);
BENCHMARK(BM_DP2D);
BENCHMARK(BM_T2DP);
BENCHMARK(BM_DP2T);
BENCHMARK(BM_TS2DP);
BENCHMARK(BM_DP2TS);

void BM_DP2Day(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2Day); }
void BM_DP2Month(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2Month); }
void BM_DP2Year(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2Year); }
void BM_DP2DOW(benchmark::State& state) { Cycle(state, bench::DPValues(), DP2DOW); }
// A list of two weekdays, and the empty list that passes every day.
void BM_DPDOW(benchmark::State& state) {
    const char* list = state.range(0) ? "67" : "";
    Cycle(state, bench::DPValues(), [list](const double* dp) { return DPDOW(dp, list); });
}
BENCHMARK(BM_DP2Day);
BENCHMARK(BM_DP2Month);
BENCHMARK(BM_DP2Year);
BENCHMARK(BM_DP2DOW);
BENCHMARK(BM_DPDOW)->Arg(1)->Arg(0);

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
