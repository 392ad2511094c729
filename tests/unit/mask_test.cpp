// The mask engine: the compiled form of worked masks, the number reader and
// the escape passes, whole matches grouped by construct, a differential run
// against the plain reference on random masks from the whole grammar, and
// inputs large and deep enough to break a recursive or exponential engine.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mask/compiled.h"
#include "mask_reference.h"
#include "legacy/entry_points.h"

namespace {

using vantor::CompiledMask;
using vantor::WildcardRec;

std::string CharsOf(const vantor::CharBits& bits) {
    std::string s;
    for (int c = 0; c < 256; ++c)
        if (bits.Has(static_cast<unsigned char>(c))) s += static_cast<char>(c);
    return s;
}

// A readable summary of one list, alternatives in parentheses.
std::string Describe(const CompiledMask& mask, int32_t list) {
    std::string out;
    const vantor::aWildcard& l = mask.Lists[list];
    for (int32_t e = l.First; e < l.First + l.Count; ++e) {
        const WildcardRec& r = mask.Elements[e];
        if (!out.empty()) out += " ";
        switch (r.Kind) {
        case vantor::wkLiteral:
            out += "L'" + std::string(mask.LiteralOf(r), static_cast<size_t>(r.MaxCount)) + "'";
            break;
        case vantor::wkAnyChar:
            out += std::string(static_cast<size_t>(r.MinCount), '?') +
                   std::string(static_cast<size_t>(r.MaxCount - r.MinCount), '_');
            break;
        case vantor::wkAnyRun: out += r.MinCount ? std::string(static_cast<size_t>(r.MinCount), '%') : "*"; break;
        case vantor::wkCharSet:
            out += "S[" + CharsOf(mask.SetOf(r).Chars) + "/" + CharsOf(mask.SetOf(r).ExcludedChars) + " " + std::to_string(r.MinCount) + "-" +
                   std::to_string(r.MaxCount) + (r.Required ? " req]" : "]");
            break;
        case vantor::wkGroup:
            out += "G(";
            for (int32_t a = 0; a < r.AlternativeCount; ++a)
                out += (a ? "|" : "") + Describe(mask, r.Alternatives + a);
            out += ")";
            break;
        }
    }
    return out;
}

std::string Encode(const std::string& mask) {
    std::string out(mask.size() * 3, '\0');
    out.resize(static_cast<size_t>(vantor::EncodeEscapes(mask, &out[0])));
    return out;
}

std::string Decode(const std::string& piece) {
    std::string out(piece.size(), '\0');
    out.resize(static_cast<size_t>(vantor::DecodeEscapes(piece, &out[0])));
    return out;
}

std::string Compiled(const std::string& mask) {
    CompiledMask compiled;
    EXPECT_TRUE(vantor::CompileMask(compiled, Encode(mask)));
    return Describe(compiled, 0);
}

TEST(MaskCompiler, WorkedMasksCompileToTheirElements) {
    EXPECT_EQ(Compiled("abc*def"), "L'abc' * L'def'");
    EXPECT_EQ(Compiled("a\\*b"), "L'a*b'");
    EXPECT_EQ(Compiled("\\s%\\t"), "L' ' % L'\t'");
    EXPECT_EQ(Compiled("##-_"), "S[0123456789/ 1-1 req] S[0123456789/ 1-1 req] L'-' _");
    EXPECT_EQ(Compiled("[2-5:az;!q]"), "S[abcdefghijklmnopqrstuvwxyz/q 2-5 req]");
    EXPECT_EQ(Compiled("[%:\\;]"), "S[;/ -1--1 req]");
    EXPECT_EQ(Compiled("x{a*;[:b]c}"), "L'x' G(L'a' *|S[b/ 0-1] L'c')");
    EXPECT_EQ(Compiled("{a;{b;c}d}"), "G(L'a'|G(L'b'|L'c') L'd')");
    EXPECT_EQ(Compiled("a[]b[c"), "L'a' L'b'");
    EXPECT_EQ(Compiled("*\\"), "* L''");
    EXPECT_EQ(Compiled("{a}b}"), "G(L'a') L'b}'");
    EXPECT_EQ(Compiled("{[}]}"), "G() L']}'");
    // Runs of one-character and of any-run wildcards are one counted element.
    EXPECT_EQ(Compiled("a??_*%*_[]?{?_;**}"), "L'a' ??_ % ?_ G(?_|*)");
    for (const char* empty : {"", "[", "{", "[abc", "{a;b"}) EXPECT_EQ(Compiled(empty), "") << empty;
}

TEST(MaskCompiler, CountPrefixes) {
    EXPECT_EQ(Compiled("[ 3:a]"), "S[a/ 3-3 req]");
    EXPECT_EQ(Compiled("[+3:a]"), "S[a/ 3-3 req]");
    EXPECT_EQ(Compiled("[x10:a]"), "S[a/ 16-16 req]");
    EXPECT_EQ(Compiled("[$10:a]"), "S[a/ 16-16 req]");
    EXPECT_EQ(Compiled("[0X1f:a]"), "S[a/ 31-31 req]");
    EXPECT_EQ(Compiled("[3 :a]"), "S[a/ 1-1 req]");
    EXPECT_EQ(Compiled("[\\3:a]"), "S[a/ 1-1 req]");
    EXPECT_EQ(Compiled("[-3:a]"), "S[a/ 1-3 req]");
    EXPECT_EQ(Compiled("[0:a]"), "S[a/ 0-0]");
    EXPECT_EQ(Compiled("[2--1:a]"), "S[a/ 2--1 req]");
    EXPECT_EQ(Compiled("[%5:a]"), "S[a/ -1--1 req]");
    EXPECT_EQ(Compiled("[*x:a]"), "S[a/ -1--1]");
    EXPECT_EQ(Compiled("[:a]"), "S[a/ 0-1]");
    EXPECT_EQ(Compiled("[a:b]"), "S[b/ 1-1 req]");
    EXPECT_EQ(Compiled("[$FFFFFFFF:a]"), "S[a/ -1--1]");
}

TEST(MaskCompiler, SetItems) {
    EXPECT_EQ(Compiled("[a-z]"), "S[/ 1-1 req]");
    EXPECT_EQ(Compiled("[za]"), "S[/ 1-1 req]");
    EXPECT_EQ(CharsOf([] {
                  CompiledMask m;
                  EXPECT_TRUE(vantor::CompileMask(m, Encode("[\\$00\\$FF]")));
                  return m.SetOf(m.Elements[0]).Chars;
              }()).size(),
              256u);
    EXPECT_EQ(Compiled("[!a;b]"), "S[b/a 1-1 req]");
    EXPECT_EQ(Compiled("[!!]"), "S[/! 1-1 req]");
    EXPECT_EQ(Compiled("[\\!]"), "S[!/ 1-1 req]");
    EXPECT_EQ(Compiled("[a;[;b]"), "S[a/ 1-1 req]");
    EXPECT_EQ(Compiled("[;a]"), "S[/ 1-1 req]");
    EXPECT_EQ(Compiled("[a;;b]"), "S[a/ 1-1 req]");
    EXPECT_EQ(Compiled("[a;!;b]"), "S[a/ 1-1 req]");
}

TEST(MaskCompiler, NumberReader) {
    using vantor::ReadNumber;
    EXPECT_EQ(ReadNumber("2147483647", 7), 2147483647);
    EXPECT_EQ(ReadNumber("-2147483648", 7), INT32_MIN);
    EXPECT_EQ(ReadNumber("2147483648", 7), 7);
    EXPECT_EQ(ReadNumber("-2147483649", 7), 7);
    EXPECT_EQ(ReadNumber("$FFFFFFFF", 7), -1);
    EXPECT_EQ(ReadNumber("-$1", 7), -1);
    EXPECT_EQ(ReadNumber("-$80000000", 7), INT32_MIN);
    EXPECT_EQ(ReadNumber("$100000000", 7), 7);
    EXPECT_EQ(ReadNumber("$000000000001", 7), 1);
    EXPECT_EQ(ReadNumber("  +12", 7), 12);
    for (const char* bad : {"", "   ", "+", "-", "$", "0x", "x", "12 ", " 1 2", "1a", "$g", "++1", "0x-1"})
        EXPECT_EQ(ReadNumber(bad, 7), 7) << bad;
    EXPECT_EQ(ReadNumber("0", 7), 0);
    EXPECT_EQ(ReadNumber("x1F", 7), 31);
}

TEST(MaskCompiler, EscapePasses) {
    EXPECT_EQ(Encode("\\$41"), "\\$41");
    EXPECT_EQ(Encode("\\\\"), "\\$5C");
    EXPECT_EQ(Encode("a\\"), "a\\");
    EXPECT_EQ(Encode("\\s\\t\\S\\*"), "\\$20\\$09\\$53\\$2A");
    EXPECT_EQ(Decode("\\$41"), "A");
    EXPECT_EQ(Decode("\\$4"), "\x04");
    EXPECT_EQ(Decode("\\$4z"), "$4z");
    EXPECT_EQ(Decode("\\$"), "$");
    EXPECT_EQ(Decode("a\\"), "a");
    EXPECT_EQ(Decode("\\$6a7"), "j7");
    EXPECT_EQ(Compiled("\\$4*"), std::string("L'\x04' *"));
    EXPECT_EQ(Compiled("\\$4z"), "L'$4z'");
    EXPECT_EQ(Compiled("\\$*"), "L'$' *");  // "\$" leaves what follows as written
    EXPECT_EQ(vantor::NthItem("a;[b;c];{d;e}]", 2), "[b;c]");
    EXPECT_EQ(vantor::NthItem("a;[b;c];{d;e}]", 3), "{d;e}]");
    EXPECT_EQ(vantor::NthItem("a;;b", 3), "b");
    EXPECT_EQ(vantor::NthItem("a;b", 0), "");
    EXPECT_EQ(vantor::NthItem("a;b", 3), "");
    EXPECT_EQ(vantor::NthItem("[};a", 1), "[};a");  // "}" is not the "[" level's closer
}

struct Case {
    const char* mask;
    const char* text;
    bool matches;
};

std::string Disagreement(const std::string& text, const std::string& mask, bool expected,
                         vantor::CompiledMaskCache& cache);

void ExpectCases(const std::vector<Case>& cases) {
    vantor::CompiledMaskCache cache;
    for (const Case& c : cases) {
        EXPECT_EQ(Disagreement(c.text, c.mask, c.matches, cache), "");
        EXPECT_EQ(reference::MatchMask(c.text, c.mask), c.matches) << "reference: mask '" << c.mask << "'";
    }
}

TEST(MaskMatch, LiteralsAnchoringAndEmpty) {
    ExpectCases({{"", "", true}, {"", "a", false}, {"abc", "abc", true}, {"abc", "ABC", false},
                 {"abc", "abcx", false}, {"abc", "xabc", false}, {"A", "a", false}, {"*abc*", "xxabcxx", true},
                 {"abc*", "xxabcxx", false}, {"*", "", true}, {"_", "", true}, {"[*:a]", "", true},
                 {"[:a]", "", true}, {"%", "", false}, {"?", "", false}, {"#", "", false}, {"a", "", false},
                 {"{a;*}", "", false}, {"a]b}", "a]b}", true}, {"ab[cd", "ab", true}, {"ab[cd", "abcd", false},
                 {"{a;b", "", true}, {"{a;b", "a", false}, {"*\\", "", false}, {"*\\", "x", false},
                 {"a\\", "a", true}, {"a[]b", "ab", true}});
}

TEST(MaskMatch, AnyCharAndAnyRun) {
    ExpectCases({{"a*b", "ab", true}, {"a*b", "axxb", true}, {"a%b", "axb", true}, {"a%b", "ab", false},
                 {"a?b", "axb", true}, {"a?b", "ab", false}, {"a_b", "ab", true}, {"a_b", "axb", true},
                 {"a_b", "axxb", false}, {"_a", "aa", true}, {"__", "a", true}, {"%%", "a", false},
                 {"*a*a*a", "aaa", true}, {"*a*a*a", "aa", false}});
}

TEST(MaskMatch, Sets) {
    ExpectCases({{"a#b", "a1b", true}, {"a#b", "ab", false}, {"a#b", "a12b", false}, {"a#b", "a9b", true},
                 {"a#b", "a/b", false}, {"a#b", "a:b", false}, {"\\s\\t\\S*", " \tSx", true}, {"[az]", "q", true},
                 {"[az]", "Q", false}, {"[a-z]", "Q", true}, {"[za]", "%", true}, {"[!09]", "x", true},
                 {"[!09]", "5", false}, {"[5:]", "ab?de", true}, {"[5:]", "abcd", false}, {"[3:09]", "123", true},
                 {"[3:09]", "12", false}, {"[3:09]", "1234", false}, {"[2-4:ab]", "abab", true},
                 {"[*;?]", "*", true}, {"[*;?]", "?", true}, {"[*;?]", "a", false}, {"[\\;;\\]]", ";", true},
                 {"[\\;;\\]]", "]", true}, {"\\s\\t\\$41\\\\\\*\\S", " \tA\\*S", true}, {"\\$4z", "$4z", true},
                 {"[*:a]a", "aaa", false}, {"[%:a]b", "aaab", true}, {"[:x]x", "x", true}, {"[:x]x", "xx", true},
                 {"[2:a]", "aa", true}, {"[2:a]", "a", false}, {"[2:a]", "aaa", false}, {"[2:!a]", "bc", true},
                 {"[2:!a]", "ab", false}, {"[!a]", "b", true}, {"[!a]", "a", false}, {"[5-3:5]", "555", false},
                 {"[5-3:5]", "55555", false}, {"[5-3:5]*", "55555", true}, {"[a;;b]", "a", true},
                 {"[a;;b]", "b", false}, {"[0:a]b", "aaab", true}, {"[3-0:a]", "aaaaa", true}});
}

TEST(MaskMatch, Groups) {
    ExpectCases({{"x{a;b}y", "xay", true}, {"x{a;b}y", "xby", true}, {"x{a;b}x", "xcx", false},
                 {"{a;{b;c}}", "a", true}, {"{a;{b;c}}", "b", true}, {"{a;{b;c}}", "c", true}, {"{}", "", false},
                 {"{;a}", "a", false}, {"{;q}", "q", false}, {"{a;;b}", "a", true}, {"{a;;b}", "b", false},
                 {"{a*;b}c", "axxc", false}, {"{a*;b}c", "ac", true}, {"{a{b;c};d}e", "abe", true},
                 {"{a{b;c};d}e", "ace", true}, {"{a{b;c};d}e", "de", true}, {"a{b;*}", "ab", true},
                 {"a{b;*}", "a", false}, {"{a*}", "abc", true}, {"{*a}x", "aax", false}, {"{[}]}", "]}", true},
                 {"{{a;b}*}", "bzz", true}});
}

TEST(MaskMatch, EntryPointReadsNullAsEmptyAndReturnsOneOrZero) {
    EXPECT_EQ(Match(nullptr, nullptr), 1);
    EXPECT_EQ(Match("", nullptr), 1);
    EXPECT_EQ(Match("a", nullptr), 0);
    EXPECT_EQ(Match(nullptr, "*"), 1);
    EXPECT_EQ(Match(nullptr, "?"), 0);
    EXPECT_EQ(Match("abc", "abc"), 1);
    EXPECT_EQ(Match("ABC", "abc"), 0);
    EXPECT_EQ(Match("\xE8\xFF", "[\\$E0\\$FF;!\\$F0][\\$FF]"), 1);
}

// A random mask drawn from the whole grammar, favouring the few characters
// that the random texts use, so that matches are frequent.
class MaskGenerator {
public:
    explicit MaskGenerator(uint32_t seed) : random_(seed) {}

    std::string Mask() { return Sequence(0); }
    std::string Text() {
        static const char alphabet[] = "aab1;";
        std::string text;
        const int length = Pick(9);
        for (int i = 0; i < length; ++i) text += alphabet[Pick(5)];
        return text;
    }

private:
    int Pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
    const char* Of(std::initializer_list<const char*> options) {
        return options.begin()[Pick(static_cast<int>(options.size()))];
    }

    std::string Escape() {
        return Of({"\\a", "\\b", "\\;", "\\*", "\\?", "\\[", "\\]", "\\{", "\\}", "\\!", "\\:", "\\\\", "\\s", "\\t",
                   "\\S", "\\$61", "\\$62", "\\$3b", "\\$6", "\\$6z", "\\$", "\\$$", "\\$31", "\\$4", "\\1"});
    }
    std::string Item() {
        switch (Pick(9)) {
        case 0: return "";
        case 1: return "!" + std::string(Of({"a", "b", "1", "ab", ""}));
        case 2: return Of({"ab", "a1", "1b", "ba", "aa"});
        case 3: return Escape();
        case 4: return Of({"abc", "a-b", "[", "{", "}", "]", "![", "!\\$61"});
        default: return Of({"a", "b", "1", ";", "?", "*", "#", "_", "%"});
        }
    }
    std::string Set() {
        std::string body;
        if (Pick(3)) {
            body += Of({"", "%", "*", "%5", "1", "2", "3", "0", "1-2", "2-1", "0-2", "-2", "2--1", "x2", "$2", "0x2",
                        " 2", "2 ", "a", "\\2", "+2", "2-", "-", "1-0"});
            body += ":";
        }
        const int items = 1 + Pick(3);
        for (int i = 0; i < items; ++i) body += (i ? ";" : "") + Item();
        return "[" + body + (Pick(12) ? "]" : "");
    }
    std::string Group(int depth) {
        std::string body;
        const int alternatives = Pick(4);
        for (int i = 0; i < alternatives; ++i) body += (i ? ";" : "") + (Pick(6) ? Sequence(depth + 1) : "");
        return "{" + body + (Pick(12) ? "}" : "");
    }
    std::string Sequence(int depth) {
        std::string out;
        const int pieces = Pick(depth ? 4 : 6);
        for (int i = 0; i < pieces; ++i) {
            switch (Pick(12)) {
            case 0: case 1: out += Of({"a", "b", "ab", "1", "ba"}); break;
            case 2: out += Of({"?", "_", "#"}); break;
            case 3: case 4: out += Of({"*", "%"}); break;
            case 5: out += Escape(); break;
            case 6: case 7: out += Set(); break;
            case 8: case 9: out += depth < 3 ? Group(depth) : "a"; break;
            case 10: out += Of({"]", "}", ";", "!", ":", "$", "-", "\\"}); break;
            default: out += Of({"[]", "{}", "{;a}", "*a*", "[*:a]"}); break;
            }
        }
        return out;
    }

    std::mt19937 random_;
};

// Every way the engine decides, against the reference's answer: the whole
// test, the same through a cache of the compiled mask, the direct path
// (where the mask is of its kind), backtracking with no budget, the
// position tables, and the position sets. Empty when all agree.
std::string Disagreement(const std::string& text, const std::string& mask, bool expected,
                         vantor::CompiledMaskCache& cache) {
    using vantor::MatchOutcome;
    const MatchOutcome want = expected ? MatchOutcome::Match : MatchOutcome::NoMatch;
    const std::string where = " on mask '" + mask + "' text '" + text + "'";
    if (vantor::MatchMask(text, mask) != expected) return "MatchMask" + where;
    if (cache.Match(text, mask) != want) return "the cache" + where;
    const MatchOutcome direct = vantor::MatchDirectly(text, mask, INT64_MAX);
    if (direct != MatchOutcome::TooComplex && direct != want) return "the direct path" + where;
    CompiledMask compiled;
    if (!vantor::CompileMask(compiled, Encode(mask))) return "CompileMask" + where;
    if (vantor::MatchByBacktracking(compiled, text, INT64_MAX) != want) return "backtracking" + where;
    if (vantor::MatchByPositions(compiled, text) != want) return "the position tables" + where;
    if (vantor::MatchByPositionSets(compiled, text) != want) return "the position sets" + where;
    return "";
}

TEST(MaskDifferential, RandomMasksAgreeWithTheReference) {
    MaskGenerator generator(20240611);
    vantor::CompiledMaskCache cache;
    int matches = 0, total = 0;
    for (int m = 0; m < 12000; ++m) {
        const std::string mask = generator.Mask();
        for (int t = 0; t < 10; ++t) {
            const std::string text = generator.Text();
            const bool expected = reference::MatchMask(text, mask);
            ASSERT_EQ(Disagreement(text, mask, expected, cache), "");
            matches += expected;
            ++total;
        }
    }
    // The run means something only if both outcomes are common.
    EXPECT_GT(matches, total / 20);
    EXPECT_LT(matches, total - total / 20);
}

TEST(MaskDifferential, ExactPathsAgreeOnLongerTexts) {
    // Texts long enough that many any-runs exhaust the backtracking budget,
    // so that the position sets or tables decide; the reference still
    // finishes because the masks are short.
    MaskGenerator generator(777);
    vantor::CompiledMaskCache cache;
    std::mt19937 random(99);
    // Its own streams, so that the texts and masks above stay as they were.
    MaskGenerator wideGenerator(4242);
    std::mt19937 wideRandom(4343);
    std::mt19937 runsRandom(4444);
    int longMatches = 0;
    for (int m = 0; m < 1500; ++m) {
        std::string mask = "*" + generator.Mask() + "*a*" + generator.Mask() + "%";
        std::string text;
        const int length = 20 + static_cast<int>(random() % 20);
        for (int i = 0; i < length; ++i) text += "aab1"[random() % 4];
        ASSERT_EQ(Disagreement(text, mask, reference::MatchMask(text, mask), cache), "");
        // Past one word of the position sets, with runs and counts longer
        // than a word, the exact paths agree with each other and with the
        // whole test (beyond the reference's reach).
        const std::string wide = mask + "[" + (m % 3 == 0 ? "65-70:a;b" : m % 3 == 1 ? "*:ab" : "70:!1") + "]*" +
                                 wideGenerator.Mask() + "_";
        std::string longText;
        const int longLength = 60 + static_cast<int>(wideRandom() % 260);
        for (int i = 0; i < longLength; ++i) longText += "aab1"[wideRandom() % (i % 97 < 80 ? 2 : 4)];
        CompiledMask compiled;
        ASSERT_TRUE(vantor::CompileMask(compiled, Encode(wide)));
        const vantor::MatchOutcome sets = vantor::MatchByPositionSets(compiled, longText);
        ASSERT_EQ(sets, vantor::MatchByPositions(compiled, longText)) << "mask '" << wide << "' text '" << longText << "'";
        ASSERT_EQ(sets == vantor::MatchOutcome::Match, vantor::MatchMask(longText, wide)) << "mask '" << wide << "'";
        longMatches += sets == vantor::MatchOutcome::Match;
        // Groups of short literals between any-runs, which the position
        // sets carry by their first ends alone.
        const char* const shortLiterals[] = {"a", "b", "1", "ab", "ba", "a1", "1b", "bb"};
        std::string runs = "*";
        for (int g = 0, groups = 1 + static_cast<int>(runsRandom() % 4); g < groups; ++g)
            runs += std::string("{") + shortLiterals[runsRandom() % 8] + ";" + shortLiterals[runsRandom() % 8] + "}" +
                    (runsRandom() % 3 ? "*" : "_%");
        runs += shortLiterals[runsRandom() % 8];
        CompiledMask runsCompiled;
        ASSERT_TRUE(vantor::CompileMask(runsCompiled, runs));
        const vantor::MatchOutcome runsSets = vantor::MatchByPositionSets(runsCompiled, longText);
        ASSERT_EQ(runsSets, vantor::MatchByPositions(runsCompiled, longText)) << "mask '" << runs << "' text '" << longText << "'";
        ASSERT_EQ(runsSets == vantor::MatchOutcome::Match, vantor::MatchMask(longText, runs)) << "mask '" << runs << "'";
    }
    // Both outcomes occur on the long texts.
    EXPECT_GT(longMatches, 50);
    EXPECT_LT(longMatches, 1450);
}

TEST(MaskLimits, PathologicalMasksFinish) {
    const std::string as(4096, 'a');
    EXPECT_FALSE(vantor::MatchMask(as, "*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(vantor::MatchMask(as + "b", "*a*a*a*a*a*a*a*a*b"));
    EXPECT_FALSE(vantor::MatchMask(as, "_______________________________________b"));
    EXPECT_FALSE(vantor::MatchMask(as, "*[*:a]b"));
    EXPECT_TRUE(vantor::MatchMask(as, "*{a*;b}*{a;*}[%:a]"));
}

TEST(MaskLimits, ExactWithinTheBoundTooComplexPastIt) {
    using vantor::MatchOutcome;
    // Once 0 when its memo tables hit a 128 MiB cap; the position tables
    // of its two elements take 240 KiB.
    const std::string text(20000, 'a');
    const std::string mask = std::string(16000, '_') + std::string(16000, 'a');
    EXPECT_EQ(Match(text.c_str(), mask.c_str()), 1);
    CompiledMask compiled;
    ASSERT_TRUE(vantor::CompileMask(compiled, mask));
    EXPECT_EQ(vantor::MatchByPositions(compiled, text), MatchOutcome::Match);
    // Groups nested `depth` deep around an alternative that runs the
    // backtracking out of its budget and one that matches: the tables of
    // 42 levels over the longest text SQL passes fit the bound, 43 do not.
    const std::string longest = std::string(32764, 'a') + "b";
    auto nested = [](int depth) {
        return std::string(static_cast<size_t>(depth - 1), '{') + "{*a*a*a*a*a*a*a*a*c;*b}" +
               std::string(static_cast<size_t>(depth - 1), '}');
    };
    EXPECT_EQ(vantor::MatchMaskOutcome(longest, nested(41)), MatchOutcome::Match);
    EXPECT_EQ(vantor::MatchMaskOutcome(longest, nested(42)), MatchOutcome::TooComplex);
    EXPECT_EQ(Match(longest.c_str(), nested(42).c_str()), 0);
    // The bound goes by text length: a shorter text allows deeper nesting.
    const std::string shorter = longest.substr(longest.size() - 16383);
    EXPECT_EQ(vantor::MatchMaskOutcome(shorter, nested(84)), MatchOutcome::Match);
    EXPECT_EQ(vantor::MatchMaskOutcome(shorter, nested(85)), MatchOutcome::TooComplex);
}

TEST(MaskLimits, HugeMasksAndTextsReturnNormally) {
    const std::string mib(1 << 20, 'a');
    EXPECT_TRUE(vantor::MatchMask(mib, mib));
    EXPECT_TRUE(vantor::MatchMask(mib, "*a"));
    EXPECT_TRUE(vantor::MatchMask(mib, "[*:a]"));
    EXPECT_FALSE(vantor::MatchMask(mib, "*b*"));
    EXPECT_TRUE(vantor::MatchMask(mib, std::string(1 << 20, '?')));
    EXPECT_FALSE(vantor::MatchMask(mib, std::string(1 << 20, '?') + "?"));
    EXPECT_TRUE(vantor::MatchMask("abc", std::string(1 << 20, '*') + "c"));
    EXPECT_TRUE(vantor::MatchMask("", std::string(1 << 20, '[')));  // unclosed: nothing
    EXPECT_TRUE(vantor::MatchMask("a", "{a" + std::string(1 << 20, ';') + "b}"));
    std::string many = "{";
    for (int i = 0; i < 200000; ++i) many += "b;";
    EXPECT_TRUE(vantor::MatchMask("a", many + "a}"));
}

TEST(MaskLimits, DeepNestingReturnsNormally) {
    const int depth = 100000;
    const std::string open(depth, '{'), close(depth, '}');
    EXPECT_TRUE(vantor::MatchMask("a", open + "a" + close));
    EXPECT_FALSE(vantor::MatchMask("b", open + "a" + close));
    EXPECT_TRUE(vantor::MatchMask("xay", "x" + open + "a;b" + close + "y"));
    EXPECT_TRUE(vantor::MatchMask("", open + "a" + close.substr(1)));  // unclosed outermost
    // The expected-closer stack of item splitting, far beyond 100 levels.
    std::string sets = "{" + std::string(depth, '[') + ";b}";
    EXPECT_FALSE(vantor::MatchMask("b", sets));
    const std::string unclosed = std::string(depth, '[') + ";b";
    EXPECT_EQ(vantor::NthItem(unclosed, 2), "");
    EXPECT_EQ(vantor::NthItem(unclosed, 1).size(), unclosed.size());
    // Groups within groups, each of several alternatives.
    std::string mask = "a";
    for (int i = 0; i < 2000; ++i) mask = "{x;" + mask + "}";
    EXPECT_TRUE(vantor::MatchMask("a", mask));
    EXPECT_TRUE(vantor::MatchMask("x", mask));
    EXPECT_FALSE(vantor::MatchMask("y", mask));
}

}  // namespace
