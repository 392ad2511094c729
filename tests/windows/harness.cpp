// The module harness: loads vantor's legacy module by name as the server
// does (vantor.dll, found beside the program; libvantor.so on Linux, for the
// reference), resolves the 23 entry points by name, and calls each through
// the server's 15-argument cast (harness.h) under the x87 control word it is
// given. It makes
//   - the unit tests' pass over awkward inputs (awkward_calls.h);
//   - a sweep of the times of day, every STRIDE-th, through T2DP and back
//     through DP2T;
//   - a seeded random set of inputs of the date and time functions and
//     DivDP, and of texts and masks for Match,
// and writes every result, one hexadecimal number a line, to standard
// output. After each call the control word must be the one it set, and each
// FREE_IT result (Now, ALC) goes back to ib_util as the server gives it
// back: on Windows the tests' ib_util.dll refuses a block that its
// ib_util_malloc did not hand out. Either fault is reported on standard
// error and ends the run with status 1. The differential check
// (tests/windows/differential.sh) compares the output with the Linux x86-64
// build's for the same arguments.
//
//   harness CONTROL-WORD STRIDE RANDOM-COUNT SEED     (control word in hex)
//   harness time CONTROL-WORD
// The second form measures, in process, the nanoseconds a call of each
// function with extended-precision work takes through the module under the
// control word: on Windows what its setting and restoring costs a call, set
// beside the same calls on Linux. A measurement only: it checks nothing.
#define VANTOR_HARNESS 1
#include "awkward_calls.h"
#include "fpu_control.h"

#include <chrono>
#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

vantor_harness::AnyFunction gEntryPoints[sizeof vantor_harness::kEntryPointNames / sizeof(char*)];
#if defined(_WIN32)
using Release = int (*)(void*);
Release gRelease = nullptr;  // the tests' ib_util.dll's ib_util_release
#endif
uint16_t gControlWord = 0;
long gFaults = 0;

using vantor_test::ReadControlWord;
using vantor_test::WriteControlWord;

void Fault(const char* what) {
    if (++gFaults <= 10) std::fprintf(stderr, "harness: %s\n", what);
}

bool LoadModule() {
#if defined(_WIN32)
    // The server's loader adds ".dll" to the module name.
    const HMODULE module = LoadLibraryA("vantor");
    const HMODULE ibUtil = GetModuleHandleA("ib_util");
    if (!module || !ibUtil) return false;
    gRelease = reinterpret_cast<Release>(reinterpret_cast<void (*)()>(GetProcAddress(ibUtil, "ib_util_release")));
    if (!gRelease) return false;
    for (size_t i = 0; i < sizeof gEntryPoints / sizeof gEntryPoints[0]; ++i)
        gEntryPoints[i] = reinterpret_cast<vantor_harness::AnyFunction>(
            GetProcAddress(module, vantor_harness::kEntryPointNames[i]));
#else
    void* module = dlopen("libvantor.so", RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    for (size_t i = 0; i < sizeof gEntryPoints / sizeof gEntryPoints[0]; ++i)
        gEntryPoints[i] = reinterpret_cast<vantor_harness::AnyFunction>(dlsym(module, vantor_harness::kEntryPointNames[i]));
#endif
    for (size_t i = 0; i < sizeof gEntryPoints / sizeof gEntryPoints[0]; ++i)
        if (!gEntryPoints[i]) {
            std::fprintf(stderr, "harness: no entry point %s\n", vantor_harness::kEntryPointNames[i]);
            return false;
        }
    return true;
}

// One result: written, and the control word checked (and set again).
void Put(uint64_t bits) {
    if (ReadControlWord() != gControlWord) {
        Fault("an entry point left the control word changed");
        WriteControlWord(gControlWord);
    }
    std::printf("%" PRIx64 "\n", bits);
}

// splitmix64: the same numbers on every platform.
struct Random {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
};

// A DP value of one of four kinds: any bit pattern; a day of the calendar's
// range with a random fraction; a value within a few ulps of a millisecond
// or unit boundary; a small fraction of a day.
double RandomDP(Random& random) {
    switch (random.Below(4)) {
        case 0:
            return vantor_test::DoubleOfBits(random.Next());
        case 1:
            return static_cast<double>(static_cast<int32_t>(random.Below(3700000)) - 700000) +
                   static_cast<double>(random.Next() >> 11) * 0x1p-53;
        case 2: {
            const double day = static_cast<double>(static_cast<int32_t>(random.Below(200000)) - 50000);
            const double boundary = random.Below(864000000) / (random.Below(2) ? 864000000.0 : 86400000.0);
            const uint64_t bits = vantor_test::BitsOf(day + boundary) + random.Below(9) - 4;
            return vantor_test::DoubleOfBits(bits);
        }
        default:
            return static_cast<double>(random.Next() >> 11) * 0x1p-53 * (random.Below(2) ? 1.0 : -1.0);
    }
}

std::string RandomText(Random& random, const char* alphabet, size_t length) {
    std::string text;
    const size_t letters = std::char_traits<char>::length(alphabet);
    for (size_t i = 0; i < length; ++i) text += alphabet[random.Below(static_cast<uint32_t>(letters))];
    return text;
}

// A mask of random pieces of the mask language, well formed or not.
std::string RandomMask(Random& random) {
    static const char* const kPieces[] = {"a", "b", "c", "A", "1", "*", "?", "%", "_", "#", "[a-b]", "[!c]",
                                          "{a|b}", "{a|bc|}", "#{1,3}", "a{2}", "\\*", "\\", "[", "{", "}", "|"};
    std::string mask;
    for (uint32_t n = random.Below(8) + 1; n > 0; --n) mask += kPieces[random.Below(sizeof kPieces / sizeof *kPieces)];
    return mask;
}

void DateAndTimeCalls(double dp, uint32_t time, int32_t date, double divisor) {
    Put(vantor_test::BitsOf(D2DP(&date)));
    Put(static_cast<uint32_t>(DP2D(&dp)));
    Put(vantor_test::BitsOf(T2DP(&time)));
    Put(DP2T(&dp));
    const ISC_TIMESTAMP stamp{date, time};
    Put(vantor_test::BitsOf(TS2DP(&stamp)));
    double overwritten = dp;
    const ISC_TIMESTAMP* converted = DP2TS(&overwritten);
    Put((uint64_t{static_cast<uint32_t>(converted->timestamp_date)} << 32) | converted->timestamp_time);
    Put((uint64_t{DP2Day(&dp)} << 32) | (uint64_t{DP2Month(&dp)} << 16) | DP2Year(&dp));
    Put((uint64_t{static_cast<uint32_t>(DP2DOW(&dp))} << 16) | static_cast<uint16_t>(DPDOW(&dp, "1357")));
    Put(vantor_test::BitsOf(DivDP(&dp, &divisor)));
}

// Nanoseconds a call, the best of five rounds of 64 passes over 4096 inputs.
template <typename Call>
double NanosecondsPerCall(Call call) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        uint64_t sum = 0;
        for (int pass = 0; pass < 64; ++pass)
            for (uint32_t i = 0; i < 4096; ++i) sum += call(i);
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        if (sum == 1) std::printf(" ");  // keeps the calls
        if (elapsed.count() / (64 * 4096) < best) best = elapsed.count() / (64 * 4096);
    }
    return best;
}

void TimeCalls() {
    static double dps[4096];
    static ISC_TIME times[4096];
    static ISC_TIMESTAMP stamps[4096];
    Random random{1};
    for (int i = 0; i < 4096; ++i) {
        dps[i] = 36526.0 + random.Below(73000) + static_cast<double>(random.Next() >> 11) * 0x1p-53;
        times[i] = random.Below(864000000u);
        stamps[i] = ISC_TIMESTAMP{static_cast<ISC_DATE>(51000 + random.Below(73000)), times[i]};
    }
    const double three = 3.0;
    std::printf("control word %04x, ns a call: T2DP %.2f TS2DP %.2f DP2T %.2f DP2TS %.2f DivDP %.2f\n",
                gControlWord,
                NanosecondsPerCall([&](uint32_t i) { return vantor_test::BitsOf(T2DP(&times[i])); }),
                NanosecondsPerCall([&](uint32_t i) { return vantor_test::BitsOf(TS2DP(&stamps[i])); }),
                NanosecondsPerCall([&](uint32_t i) { return uint64_t{DP2T(&dps[i])}; }),
                NanosecondsPerCall([&](uint32_t i) {
                    double overwritten = dps[i];
                    return uint64_t{DP2TS(&overwritten)->timestamp_time};
                }),
                NanosecondsPerCall([&](uint32_t i) { return vantor_test::BitsOf(DivDP(&dps[i], &three)); }));
}

}  // namespace

vantor_harness::AnyFunction vantor_harness::EntryPointAddress(int index) {
    return gEntryPoints[index];
}

void vantor_test::ReleaseFreeIt(void* block) {
    if (!block) return;
#if defined(_WIN32)
    if (!gRelease(block)) Fault("a FREE_IT result that ib_util_malloc did not hand out");
#else
    std::free(block);  // the Linux ib_util_malloc is malloc
#endif
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "time") == 0) {
        gControlWord = static_cast<uint16_t>(std::strtoul(argv[2], nullptr, 16));
        if (!LoadModule()) return 1;
        WriteControlWord(gControlWord);
        TimeCalls();
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr, "usage: harness CONTROL-WORD STRIDE RANDOM-COUNT SEED\n");
        return 2;
    }
    gControlWord = static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 16));
    const uint32_t stride = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const long count = std::strtol(argv[3], nullptr, 10);
    Random random{std::strtoull(argv[4], nullptr, 10)};
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (stride == 0 || !LoadModule()) {
        std::fprintf(stderr, "harness: cannot load the module and its 23 entry points\n");
        return 1;
    }
    WriteControlWord(gControlWord);

    vantor_test::CallEveryEntryPoint([](uint64_t bits, vantor_test::Settings) { Put(bits); });

    for (uint32_t time = 0; time < 864000000u; time += stride) {
        const double dp = T2DP(&time);
        Put(vantor_test::BitsOf(dp));
        Put(DP2T(&dp));
    }

    for (long i = 0; i < count; ++i) {
        const double dp = RandomDP(random);
        const uint32_t time = random.Below(4) ? random.Below(864000000u) : static_cast<uint32_t>(random.Next());
        const int32_t date = static_cast<int32_t>(random.Below(4) ? random.Below(3700000) : random.Next());
        DateAndTimeCalls(dp, time, date, RandomDP(random));
        const std::string text = RandomText(random, "abcA1", random.Below(12));
        const std::string mask = RandomMask(random);
        Put(static_cast<uint16_t>(Match(text.c_str(), mask.c_str())));
    }
    std::fflush(stdout);
    if (ReadControlWord() != gControlWord) Fault("the control word changed");
    if (gFaults > 0) std::fprintf(stderr, "harness: %ld faults\n", gFaults);
    return gFaults > 0 ? 1 : 0;
}
