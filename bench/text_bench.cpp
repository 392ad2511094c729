// ALC beside the least any FREE_IT copy must do (ib_util_malloc and memcpy
// of the same length), on ASCII and on Czech text; the cost of a call of
// IIF_I and of DivDP.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/udf.h"

extern "C" {
char* ALC(const char*) noexcept;
int32_t* IIF_I(const int16_t*, int32_t*, int32_t*) noexcept;
double DivDP(const double*, const double*) noexcept;
}

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

void BM_ALC(benchmark::State& state) {
    const std::string text = Text(static_cast<size_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        char* result = ALC(text.c_str());
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

// Arguments: the length, and 1 for Czech text.
BENCHMARK(BM_ALC)->Args({16, 0})->Args({16, 1})->Args({32768, 0})->Args({32768, 1});
BENCHMARK(BM_MallocAndCopy)->Args({16, 0})->Args({32768, 0});

void BM_IIF_I(benchmark::State& state) {
    int16_t condition = 1;
    int32_t first = 10, second = 20;
    for (auto _ : state) {
        benchmark::DoNotOptimize(condition);
        benchmark::DoNotOptimize(IIF_I(&condition, &first, &second));
        condition = static_cast<int16_t>(-condition);
    }
}
BENCHMARK(BM_IIF_I);

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

BENCHMARK_MAIN();
