// The floating-point environment around every entry point: under each
// non-default x87 control word (every rounding mode at every precision) and
// a non-default MXCSR, each call leaves both exactly as it found them, and
// the results that come from truncation or integer work are those of the
// platform default. Under the platform default (all exceptions masked) no
// call raises a signal, whatever it is passed. On Windows, where the
// extended-precision work sets its own precision and rounding, every result
// is the platform default's under every control word (with the default
// MXCSR: the test's own inputs are computed under the MXCSR it sets; on
// x86-64, whose inputs do not depend on the x87's word).
#include <gtest/gtest.h>

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "awkward_calls.h"
#include "fpu_control.h"

namespace {

using vantor_test::Settings;

uint32_t ReadMxcsr() {
    uint32_t word;
    __asm__ volatile("stmxcsr %0" : "=m"(word));
    return word;
}

void WriteMxcsr(uint32_t word) {
    __asm__ volatile("ldmxcsr %0" : : "m"(word));
}

constexpr uint16_t kDefaultControlWord = 0x037F;
constexpr uint32_t kDefaultMxcsr = 0x1F80;
// Rounding toward zero, all exceptions masked.
constexpr uint32_t kTowardZeroMxcsr = 0x7F80;

// Every rounding mode (RC, bits 10-11) at every precision (PC, bits 8-9: 24,
// 53 and 64 bits), all exceptions masked; the default itself left out.
std::vector<uint16_t> NonDefaultControlWords() {
    std::vector<uint16_t> words;
    for (uint16_t rounding = 0; rounding < 4; ++rounding)
        for (uint16_t precision : {0, 2, 3}) {
            const uint16_t word = static_cast<uint16_t>(0x007F | precision << 8 | rounding << 10);
            if (word != kDefaultControlWord) words.push_back(word);
        }
    return words;
}

// Whether loads and stores keep their values under a reduced precision, as
// the processor's do (precision control rounds arithmetic results only).
// QEMU's x87 emulation rounds a double loaded under 24-bit precision, and an
// extended value under 53-bit, which changes the test's own inputs; there
// the reduced precisions are left out (the rounding modes are still run).
bool LoadsKeepTheirValueUnderReducedPrecision() {
    const double doubleIn = 1.9;
    const long double extendedIn = 1.0L + 0x1p-60L;
    double doubleOut = 0;
    long double extendedOut = 0;
    const uint16_t saved = vantor_test::ReadControlWord();
    vantor_test::WriteControlWord(0x007F);
    __asm__ volatile("fldl %1\n\tfstpl %0" : "=m"(doubleOut) : "m"(doubleIn));
    vantor_test::WriteControlWord(0x027F);
    __asm__ volatile("fldt %1\n\tfstpt %0" : "=m"(extendedOut) : "m"(extendedIn));
    vantor_test::WriteControlWord(saved);
    return doubleOut == doubleIn && extendedOut == extendedIn;
}

// Where the test's own double arithmetic (its inputs) runs in SSE, so that
// the control word it sets changes only the library's work: on win32 the
// module harness, whose inputs are SSE's, checks every result instead.
#if defined(_WIN32) && (defined(__x86_64__) || defined(__SSE2_MATH__))
constexpr bool kEveryResultIsTheDefaults = true;
#else
constexpr bool kEveryResultIsTheDefaults = false;
#endif

struct Pass {
    std::vector<uint64_t> results;
    std::vector<Settings> settings;
    int controlWordChanges = 0;
    int mxcsrChanges = 0;
};

// One pass of every entry point under the given settings, checking both
// control registers after each call; the settings are restored afterwards.
Pass PassUnder(uint16_t controlWord, uint32_t mxcsr) {
    Pass pass;
    const uint16_t savedWord = vantor_test::ReadControlWord();
    const uint32_t savedMxcsr = ReadMxcsr();
    vantor_test::WriteControlWord(controlWord);
    WriteMxcsr(mxcsr);
    vantor_test::CallEveryEntryPoint([&](uint64_t bits, Settings settings) {
        // Read before anything of the test's own can touch either register.
        const uint16_t wordNow = vantor_test::ReadControlWord();
        const uint32_t mxcsrNow = ReadMxcsr() & ~0x3Fu;  // sticky flags aside
        if (wordNow != controlWord) {
            ++pass.controlWordChanges;
            vantor_test::WriteControlWord(controlWord);
        }
        if (mxcsrNow != (mxcsr & ~0x3Fu)) {
            ++pass.mxcsrChanges;
            WriteMxcsr(mxcsr);
        }
        pass.results.push_back(bits);
        pass.settings.push_back(settings);
    });
    vantor_test::WriteControlWord(savedWord);
    WriteMxcsr(savedMxcsr);
    return pass;
}

TEST(FloatingPointEnvironment, EveryEntryPointKeepsTheCallerSettingsAndTruncatesTowardZero) {
    const Pass reference = PassUnder(kDefaultControlWord, kDefaultMxcsr);
    EXPECT_EQ(reference.controlWordChanges, 0);
    EXPECT_EQ(reference.mxcsrChanges, 0);
    size_t independent = 0;
    for (Settings s : reference.settings) independent += s == Settings::kIgnored;
    ASSERT_GT(independent, 1000u);
    RecordProperty("results_per_pass", static_cast<int>(reference.results.size()));
    RecordProperty("settings", static_cast<int>(2 * NonDefaultControlWords().size()));

    const bool faithful = LoadsKeepTheirValueUnderReducedPrecision();
    if (!faithful) std::printf("x87 emulated: loads round under reduced precision; those words are left out\n");
    for (uint16_t word : NonDefaultControlWords()) {
        if (!faithful && (word & 0x0300) != 0x0300) continue;
        for (uint32_t mxcsr : {kDefaultMxcsr, kTowardZeroMxcsr}) {
            const Pass pass = PassUnder(word, mxcsr);
            EXPECT_EQ(pass.controlWordChanges, 0) << std::hex << word;
            EXPECT_EQ(pass.mxcsrChanges, 0) << std::hex << word << " " << mxcsr;
            ASSERT_EQ(pass.results.size(), reference.results.size());
            int differences = 0;
            for (size_t i = 0; i < reference.results.size(); ++i)
                if (((kEveryResultIsTheDefaults && mxcsr == kDefaultMxcsr) ||
                     reference.settings[i] == Settings::kIgnored) &&
                    pass.results[i] != reference.results[i])
                    ++differences;
            EXPECT_EQ(differences, 0) << "control word " << std::hex << word << ", MXCSR " << mxcsr;
        }
    }
}

// Truncation of DP2D, DP2T and DP2TS is toward zero under every rounding
// mode and precision: a value a hair below a whole day or unit never rounds
// up to it, and a negative one never rounds away from zero.
TEST(FloatingPointEnvironment, TruncationIsTowardZeroUnderEveryControlWord) {
    for (uint16_t word : NonDefaultControlWords()) {
        const vantor_test::ScopedControlWord scoped(word);
        for (double dp : {1.9, -1.9, 2.0 - 1e-12, -(2.0 - 1e-12), 0.999999999, -0.5}) {
            const int32_t whole = static_cast<int32_t>(dp);  // C's conversion truncates
            EXPECT_EQ(DP2D(&dp), whole + 15018) << std::hex << word << " " << dp;
            double overwritten = dp;
            EXPECT_EQ(DP2TS(&overwritten)->timestamp_date, whole + 15018);
        }
        // 18:00 exactly and the last unit of a day, whichever way the
        // caller rounds: the guard absorbs the rounding error at 53 and 64
        // bits. (At 24 bits the scaling itself has no room for a time of
        // day in units: the caller asked for that precision.)
        if ((word & 0x0300) == 0) continue;
        const double threeQuarters = 0.75, lastUnit = 863999999.0 / 864000000.0;
        EXPECT_EQ(DP2T(&threeQuarters), 648000000u) << std::hex << word;
        EXPECT_EQ(DP2T(&lastUnit), 863999999u) << std::hex << word;
    }
}

#if !defined(_WIN32)
sigjmp_buf signalEscape;
volatile sig_atomic_t signalSeen = 0;

void OnSignal(int signal) {
    signalSeen = signal;
    siglongjmp(signalEscape, 1);
}

TEST(FloatingPointEnvironment, NoSignalUnderThePlatformDefault) {
    EXPECT_EQ(vantor_test::ReadControlWord(), kDefaultControlWord);
    EXPECT_EQ(ReadMxcsr() & ~0x3Fu, kDefaultMxcsr);
    struct sigaction escape {}, savedFpe {}, savedIll {};
    escape.sa_handler = OnSignal;
    sigemptyset(&escape.sa_mask);
    sigaction(SIGFPE, &escape, &savedFpe);
    sigaction(SIGILL, &escape, &savedIll);
    size_t calls = 0;
    if (sigsetjmp(signalEscape, 1) == 0)
        vantor_test::CallEveryEntryPoint([&calls](uint64_t, Settings) { ++calls; });
    sigaction(SIGFPE, &savedFpe, nullptr);
    sigaction(SIGILL, &savedIll, nullptr);
    EXPECT_EQ(signalSeen, 0) << "signal after " << calls << " calls";
    EXPECT_GT(calls, 2000u);
}
#endif

}  // namespace
