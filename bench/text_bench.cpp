// ALC beside the least any FREE_IT copy must do (ib_util_malloc and memcpy
// of the same length) and beside its plain version (a byte loop through the
// table), on ASCII and on Czech text from 16 bytes to 32 KiB; the cost of a
// call of each IIF function and of DivDP.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_inputs.h"
#include "plain.h"
#include "frame/udf.h"
#include "legacy/entry_points.h"

namespace {

// Mixed-case ASCII, or code-page-1250 Czech in capitals and small letters
// (about one byte in five above 0x7F).
std::string Text(size_t length, bool czech) {
    const std::string pattern =
        czech ? "P\xF8\xEDli\x9A \x9Elu\x9Do\xE8k\xFD K\xD9\xD2 \xDAP\xCCL \xCF\xC1" "BELSK\xC9 \xF3" "dy, "
              : "The Quick Brown Fox Jumps Over The Lazy Dog, ";
    std::string text;
    while (text.size() < length) text += pattern;
    text.resize(length);
    return text;
}

template <char* (*Function)(const char*) noexcept>
void BM_ALCOf(benchmark::State& state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        char* result = Function(text.c_str());
        benchmark::DoNotOptimize(result);
        std::free(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_MallocAndCopy(benchmark::State& state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        auto* result = static_cast<char*>(ib_util_malloc(static_cast<long>(text.size() + 1)));
        std::memcpy(result, text.c_str(), text.size() + 1);
        benchmark::DoNotOptimize(result);
        std::free(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The least any ALC can do on a text it is handed: find its length, then
// allocate and copy; beside the bare copy of a known length, the floor that
// the length search sets.
void BM_LengthMallocAndCopy(benchmark::State& state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        const size_t length = std::strlen(text.c_str());
        auto* result = static_cast<char*>(ib_util_malloc(static_cast<long>(length + 1)));
        std::memcpy(result, text.c_str(), length + 1);
        benchmark::DoNotOptimize(result);
        std::free(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Arguments: the length, and 1 for Czech text.
void TextArguments(benchmark::internal::Benchmark* b) {
    for (const int64_t length : {16, 256, 4096, 32768})
        for (const int64_t czech : {0, 1}) b->Args({length, czech});
}
BENCHMARK_TEMPLATE(BM_ALCOf, ALC)->Name("BM_ALC")->Apply(TextArguments);
BENCHMARK_TEMPLATE(BM_ALCOf, plain::ALC)->Name("BM_Plain_ALC")->Apply(TextArguments);
BENCHMARK(BM_MallocAndCopy)->Args({16, 0})->Args({256, 0})->Args({4096, 0})->Args({32768, 0});
BENCHMARK(BM_LengthMallocAndCopy)->Args({16, 0})->Args({256, 0})->Args({4096, 0})->Args({32768, 0});

// Each IIF function on conditions 1 and 0 in random order; the chosen
// value is read, as the server reads it.
template <typename Value, Value* (*Choose)(const int16_t*, Value*, Value*)>
void BM_IIF(benchmark::State& state) {
    const std::vector<int16_t> conditions = bench::Conditions();
    Value first{}, second{};
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(*Choose(&conditions[i], &first, &second));
        i = (i + 1) & bench::kInputMask;
    }
}
BENCHMARK_TEMPLATE(BM_IIF, ISC_DATE, IIF_D)->Name("BM_IIF_D");
BENCHMARK_TEMPLATE(BM_IIF, ISC_TIME, IIF_T)->Name("BM_IIF_T");
BENCHMARK_TEMPLATE(BM_IIF, ISC_TIMESTAMP, IIF_TS)->Name("BM_IIF_TS");
BENCHMARK_TEMPLATE(BM_IIF, char, IIF_S)->Name("BM_IIF_S");
BENCHMARK_TEMPLATE(BM_IIF, int32_t, IIF_I)->Name("BM_IIF_I");
BENCHMARK_TEMPLATE(BM_IIF, double, IIF_DP)->Name("BM_IIF_DP");

void BM_DivDP(benchmark::State& state) {
    double dividend = 7.0, divisor = 3.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dividend);
        benchmark::DoNotOptimize(divisor);
        benchmark::DoNotOptimize(DivDP(&dividend, &divisor));
    }
}
BENCHMARK(BM_DivDP);

}  // namespace
