// Lower-casing, conditional choice and guarded division: ALC against a
// folding table written out here, the IIF functions' returned addresses, and
// DivDP against a plain extended-precision quotient.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fpu_control.h"
#include "frame/udf.h"
#include "frame/processor.h"
#include "text/lowercase.h"
#include "legacy/entry_points.h"

namespace {

// The code-page-1250 capitals that fold and their small letters, position by
// position: the ASCII alphabet, then Š Ť Ž Ľ Á Č É Ě Í Ď Ň Ó Ř Ů Ú Ý.
const std::string kCapitals = std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ") +
                              "\x8A\x8D\x8E\xBC\xC1\xC8\xC9\xCC\xCD\xCF\xD2\xD3\xD8\xD9\xDA\xDD";
const std::string kSmalls = std::string("abcdefghijklmnopqrstuvwxyz") +
                            "\x9A\x9D\x9E\xBE\xE1\xE8\xE9\xEC\xED\xEF\xF2\xF3\xF8\xF9\xFA\xFD";

unsigned char ExpectedFolding(unsigned char byte) {
    const size_t at = kCapitals.find(static_cast<char>(byte));
    return at == std::string::npos ? byte : static_cast<unsigned char>(kSmalls[at]);
}

std::string ExpectedLowerCase(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) c = static_cast<char>(ExpectedFolding(static_cast<unsigned char>(c)));
    return folded;
}

// ALC's result as a string, freeing the server's block; "<null>" for null.
std::string LowerCase(const char* text) {
    char* result = ALC(text);
    if (!result) return "<null>";
    std::string copy(result);
    std::free(result);
    return copy;
}

uint64_t Bits(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, 8);
    return bits;
}

double FromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, 8);
    return x;
}

double Divide(double dividend, double divisor) { return DivDP(&dividend, &divisor); }


TEST(LowerCase, EveryByteValueFollowsTheTable) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const std::string folded = LowerCase(all.c_str());
    ASSERT_EQ(folded.size(), 255u);
    int changed = 0;
    for (int byte = 1; byte < 256; ++byte) {
        const unsigned char got = static_cast<unsigned char>(folded[byte - 1]);
        EXPECT_EQ(got, ExpectedFolding(static_cast<unsigned char>(byte))) << "byte " << byte;
        changed += got != byte;
        // Each byte also alone, and inside an ASCII block of sixteen.
        const char alone[2] = {static_cast<char>(byte), 0};
        EXPECT_EQ(static_cast<unsigned char>(LowerCase(alone)[0]), ExpectedFolding(static_cast<unsigned char>(byte)));
        std::string block(31, 'Q');
        block[7] = static_cast<char>(byte);
        EXPECT_EQ(LowerCase(block.c_str()), ExpectedLowerCase(block)) << "byte " << byte;
    }
    EXPECT_EQ(changed, 42);
}

TEST(LowerCase, NeighboursOfEveryFoldedRangeStayUnchanged) {
    // A-Z, then the accented capitals, each a range of its own or part of a run.
    for (size_t i = 0; i < kCapitals.size(); ++i) {
        const unsigned char capital = static_cast<unsigned char>(kCapitals[i]);
        for (const int neighbour : {capital - 1, capital + 1}) {
            if (kCapitals.find(static_cast<char>(neighbour)) != std::string::npos) continue;
            const char text[2] = {static_cast<char>(neighbour), 0};
            EXPECT_EQ(LowerCase(text), std::string(text)) << "byte " << neighbour;
        }
    }
    EXPECT_EQ(LowerCase("@[`{"), "@[`{");
    EXPECT_EQ(LowerCase("ABCXYZ"), "abcxyz");
    EXPECT_EQ(LowerCase("\xC1\xC8\xCC\xD8\xD9"), "\xE1\xE8\xEC\xF8\xF9");
    EXPECT_EQ(LowerCase("\xC4\xD4\xC5\xC0\x8C\x8F\xA3\xA5\xAA\xAF\xDE"), "\xC4\xD4\xC5\xC0\x8C\x8F\xA3\xA5\xAA\xAF\xDE");
}

TEST(LowerCase, NullTextGivesNull) {
    EXPECT_EQ(ALC(nullptr), nullptr);
}

TEST(LowerCase, LengthAndTerminatorArePreserved) {
    std::mt19937 random(1250);
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 255u, 4096u, 32767u, 100000u}) {
        std::string text(length, 'x');
        for (char& c : text) c = static_cast<char>(1 + random() % 255);
        char* result = ALC(text.c_str());
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result[length], '\0');
        EXPECT_EQ(std::strlen(result), length);
        EXPECT_EQ(std::string(result, length), ExpectedLowerCase(text));
        std::free(result);
    }
}

// Random text of random length, from pure ASCII to mostly high bytes, so
// that both the sixteen-byte ASCII path and the table path meet every
// alignment.
TEST(LowerCase, RandomTextAgreesWithTheTable) {
    std::mt19937 random(36526);
    int mismatches = 0;
    for (int round = 0; round < 20000; ++round) {
        const size_t length = random() % 200;
        const unsigned highPercent = round % 4 == 0 ? 0 : random() % 101;
        std::string text(length, 'x');
        for (char& c : text)
            c = static_cast<char>(random() % 100 < highPercent ? 0x80 + random() % 128 : 1 + random() % 127);
        mismatches += LowerCase(text.c_str()) != ExpectedLowerCase(text);
    }
    EXPECT_EQ(mismatches, 0);
}

// The loader binds LowerCaseBytes to the fastest form the processor runs;
// every form it has must give the same bytes, on random texts like those
// above (every alignment and tail of the 32-byte step).
TEST(LowerCase, EveryFormAgrees) {
    using Form = void (*)(const unsigned char*, std::size_t, unsigned char*);
    std::vector<Form> forms = {vantor::LowerCaseBytesPlain};
    if (vantor::ProcessorHasAvx2()) forms.push_back(vantor::LowerCaseBytesAvx2);
    RecordProperty("forms", static_cast<int>(forms.size()));
    std::mt19937 random(15018);
    int mismatches = 0;
    for (int round = 0; round < 20000; ++round) {
        const size_t length = random() % 200;
        const unsigned highPercent = round % 4 == 0 ? 0 : random() % 101;
        std::string text(length, 'x');
        for (char& c : text)
            c = static_cast<char>(random() % 100 < highPercent ? 0x80 + random() % 128 : random() % 128);
        const auto* source = reinterpret_cast<const unsigned char*>(text.data());
        const std::string expected = ExpectedLowerCase(text);
        for (const Form form : forms) {
            std::string folded(length, '\0');
            form(source, length, reinterpret_cast<unsigned char*>(&folded[0]));
            mismatches += folded != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// The text ends at the last byte of a page whose successor is inaccessible:
// reading one byte past the terminator would fault.
TEST(LowerCase, NeverReadsPastTheTerminator) {
#if defined(_WIN32)
    const size_t page = 4096;
    void* mapping = VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(mapping, nullptr);
    char* const first = static_cast<char*>(mapping);
    DWORD previous;
    ASSERT_TRUE(VirtualProtect(first + page, page, PAGE_NOACCESS, &previous));
#else
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* mapping = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    char* const first = static_cast<char*>(mapping);
    ASSERT_EQ(mprotect(first + page, page, PROT_NONE), 0);
#endif
    for (size_t length = 0; length < page; length = length < 80 ? length + 1 : length * 3) {
        char* text = first + page - 1 - length;
        for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + i % 64);
        text[length] = '\0';
        const std::string expected = ExpectedLowerCase(std::string(text, length));
        EXPECT_EQ(LowerCase(text), expected) << "length " << length;
    }
    // Bytes after the first zero are not copied.
    char* text = first + page - 4;
    std::memcpy(text, "A\0B", 4);
    char* result = ALC(text);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result[0], 'a');
    EXPECT_EQ(result[1], '\0');
    std::free(result);
#if defined(_WIN32)
    VirtualFree(mapping, 0, MEM_RELEASE);
#else
    munmap(mapping, 2 * page);
#endif
}

const int16_t kConditions[] = {1, 0, -1, -32768, 32767};

// Called as a server calls a declaration with both alternatives and the
// result BY VALUE: the words are the values, and the chosen word comes back.
TEST(Choice, WorksWithAlternativesAndResultByValue) {
    using ByValue = intptr_t (*)(const int16_t*, intptr_t, intptr_t);
    using AnyFunction = void (*)();
    const ByValue functions[] = {reinterpret_cast<ByValue>(reinterpret_cast<AnyFunction>(&IIF_I)),
                                 reinterpret_cast<ByValue>(reinterpret_cast<AnyFunction>(&IIF_D)),
                                 reinterpret_cast<ByValue>(reinterpret_cast<AnyFunction>(&IIF_T))};
    for (const ByValue choose : functions)
        for (const int16_t condition : kConditions) {
            const int32_t result = static_cast<int32_t>(choose(&condition, -123456789, 2147483647));
            EXPECT_EQ(result, condition > 0 ? -123456789 : 2147483647);
        }
}

TEST(GuardedDivision, WorkedValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Bits(Divide(7, 2)), Bits(3.5));
    EXPECT_EQ(Bits(Divide(0, -5)), Bits(-0.0));
    EXPECT_EQ(Bits(Divide(1, inf)), Bits(0.0));
    EXPECT_EQ(Bits(Divide(-1, inf)), Bits(-0.0));
    EXPECT_EQ(Bits(Divide(inf, 2)), Bits(inf));
    EXPECT_EQ(Bits(Divide(-inf, 2)), Bits(-inf));
    EXPECT_TRUE(std::isnan(Divide(nan, 2)));
    EXPECT_TRUE(std::isnan(Divide(inf, inf)));
    EXPECT_EQ(Bits(Divide(1e308, 1e-308)), Bits(inf));
    EXPECT_EQ(Bits(Divide(-1e308, 1e-308)), Bits(-inf));
    EXPECT_EQ(Bits(Divide(1, 3)), Bits(1.0 / 3.0));
    // Zero and NaN divisors give +0.0 whatever the dividend.
    for (const double divisor : {0.0, -0.0, nan, -nan, FromBits(0x7FF0000000000001ULL)})
        for (const double dividend : {1.0, -1.0, 0.0, -0.0, inf, -inf, nan, 1e308})
            EXPECT_EQ(Bits(Divide(dividend, divisor)), Bits(0.0));
    // The dividend is not read, and a missing operand gives +0.0.
    const double zero = 0.0, two = 2.0;
    EXPECT_EQ(Bits(DivDP(nullptr, &zero)), Bits(0.0));
    EXPECT_EQ(Bits(DivDP(nullptr, &two)), Bits(0.0));
    EXPECT_EQ(Bits(DivDP(&two, nullptr)), Bits(0.0));
}

// Quotients that the x87 rounds twice (to 64 bits, then to double) to
// another double than the one rounding of the exact quotient gives: the
// division runs at extended precision, not in double.
TEST(GuardedDivision, RoundsTheExtendedQuotientToDouble) {
    EXPECT_EQ(Bits(Divide(0x1.4e74ea48615cdp+0, 0x1.d5647e42556d4p+0)), Bits(0x1.6cd0d9d257356p-1));
    EXPECT_EQ(Bits(Divide(0x1.f295226a623b9p+0, 0x1.0af64932087a7p+0)), Bits(0x1.de1c12093e736p+0));
    EXPECT_EQ(Bits(Divide(-0x1.e0080d52cd29dp+0, 0x1.d60ce2dc81cf9p+0)), Bits(-0x1.056f99d3452aep+0));
}

// On Linux the division runs under the caller's control word; on Windows it
// runs with a 64-bit significand, rounding to nearest, whatever the caller's.
TEST(GuardedDivision, RunsUnderAndLeavesTheCallersControlWord) {
    vantor_test::ScopedControlWord roundUp(vantor_test::kRoundUpDoublePrecision);
#if defined(_WIN32)
    EXPECT_EQ(Bits(Divide(1, 3)), Bits(1.0 / 3.0));  // rounded to nearest
#else
    EXPECT_EQ(Bits(Divide(1, 3)), Bits(std::nextafter(1.0 / 3.0, 1.0)));  // rounded up
#endif
    EXPECT_EQ(vantor_test::ReadControlWord(), vantor_test::kRoundUpDoublePrecision);
}

}  // namespace
