// The direct path: a mask made only of ordinary characters, escapes of one
// character, "?", "#", "*" and "%" (no set, group, "_", "\$" or trailing
// backslash) matched straight from its text,
// with nothing compiled. Every element but the any-runs then takes exactly
// one character, so the text matches when the pieces between any-runs can
// be placed in order; trying each piece at the first place after the
// previous one, and on a miss moving only the latest any-run on, finds a
// placement whenever there is one. "%" is "?" followed by "*". Within a
// budget of steps; past it, or for any other mask, it says TooComplex and
// the caller compiles.
//
// What it saves, on x86-64 in-process: the whole test decides 'INV-####*'
// against a 15-byte text in 14 ns where compiling and matching takes 98 ns
// ('*Berlin*' on 39 bytes 18 against 69 ns, '?????-*' on 21 bytes 11
// against 67 ns), and even with the compiled mask kept, as the UDR module
// keeps it, matching the kept form takes 41 ns to its 15; on 32 KiB texts,
// where memchr does the work either way, it saves about 20% of a call and
// next to nothing against a kept mask (bench/mask_paths_bench.cpp:
// BM_DirectCall, BM_CompiledCall, BM_DirectCached, BM_CompiledKept).
#include "mask/compiled.h"

namespace vantor {

namespace {

// What the direct path reads: 0 an ordinary character, 1 "?", 2 "#",
// 3 "*", 4 "%", 5 a character it leaves to the compiler, 6 a backslash.
struct DirectTable {
    uint8_t Class[256];
    constexpr DirectTable() : Class() {
        Class[static_cast<unsigned char>('?')] = 1;
        Class[static_cast<unsigned char>('#')] = 2;
        Class[static_cast<unsigned char>('*')] = 3;
        Class[static_cast<unsigned char>('%')] = 4;
        for (unsigned char c : {'[', '{', '_'}) Class[c] = 5;
        Class[static_cast<unsigned char>('\\')] = 6;
    }
};
constexpr DirectTable kDirect;

// The token at mask[m]: its class, and for an ordinary character (escaped
// or not) the character; returns the token's width in the mask.
size_t TokenAt(const unsigned char* mask, size_t m, uint8_t& kind, unsigned char& c) noexcept {
    c = mask[m];
    kind = kDirect.Class[c];
    if (kind != 6) return 1;
    // An escape the direct path takes: one character, "\s" a space and
    // "\t" a tab ("\$" and a trailing "\" never get here).
    const unsigned char e = mask[m + 1];
    c = e == 's' ? ' ' : e == 't' ? '\t' : e;
    kind = 0;
    return 2;
}

}  // namespace

MatchOutcome MatchDirectly(std::string_view text, std::string_view mask, int64_t steps) noexcept {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* k = reinterpret_cast<const unsigned char*>(mask.data());
    const size_t n = text.size(), size = mask.size();
    for (size_t i = 0; i < size; ++i) {
        const uint8_t kind = kDirect.Class[k[i]];
        if (kind == 5) return MatchOutcome::TooComplex;
        if (kind == 6) {
            // "\$" reads hex digits by the piece they end, and a trailing
            // "\" leaves an empty literal: both for the compiler.
            if (i + 1 == size || k[i + 1] == '$') return MatchOutcome::TooComplex;
            ++i;
        }
    }
    size_t p = 0, m = 0;
    size_t starMask = SIZE_MAX, starText = 0;  // just after the latest any-run
    for (;;) {
        if (m < size) {
            uint8_t kind;
            unsigned char c;
            const size_t width = TokenAt(k, m, kind, c);
            if (kind == 3 || kind == 4) {
                if (kind == 4) {
                    if (p == n) goto miss;  // "%" needs a character
                    ++p;
                }
                starMask = ++m;
                starText = p;
                continue;
            }
            if (p < n && (kind == 0 ? t[p] == c : kind == 1 || static_cast<unsigned>(t[p] - '0') < 10u)) {
                ++p;
                m += width;
                continue;
            }
        } else if (p == n || starMask == size) {
            // All placed; an any-run that ends the mask takes what is left.
            return MatchOutcome::Match;
        }
    miss:
        // Move the latest any-run on by one character, or to the next place
        // where the ordinary character after it stands.
        if (starMask == SIZE_MAX || starText >= n) return MatchOutcome::NoMatch;
        if (--steps < 0) return MatchOutcome::TooComplex;
        ++starText;
        if (starMask < size) {
            uint8_t kind;
            unsigned char c;
            TokenAt(k, starMask, kind, c);
            if (kind == 0) {
                const void* hit = std::memchr(t + starText, c, n - starText);
                if (!hit) return MatchOutcome::NoMatch;
                const size_t found = static_cast<size_t>(static_cast<const unsigned char*>(hit) - t);
                steps -= static_cast<int64_t>((found - starText) / 64);
                starText = found;
            }
        }
        p = starText;
        m = starMask;
    }
}

}  // namespace vantor
