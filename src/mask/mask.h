// The wildcard mask engine: whether a whole text matches a mask.
//
// The mask language. A mask must account for the whole text, from its first
// byte to its last; bytes compare exactly (no case folding).
//   abc       a run of ordinary characters: exactly these bytes
//   ?  _      one character; "_" also none, when the rest needs it so
//   %  *      any run, shortest first; "%" takes at least one character
//   #         one decimal digit
//   [c:items] a possessive run of characters from a set: it takes the
//             longest run it can (up to its maximum) and, when optional,
//             falls back to nothing; no length in between is tried.
//             The count c is absent (exactly 1), empty (0 or 1), "%" (1 or
//             more), "*" (0 or more), n, or n-m; numbers are decimal or hex
//             ("$", "x", "0x"); a malformed number counts as 1 and a maximum
//             of 0 or less is no maximum. Items, split at ";": one
//             character c, or a range c1c2 written without a dash; a
//             leading "!" refuses instead of accepting; anything else is
//             ignored; the list stops at an empty item or a lone "!". No
//             accepted item means every character not refused. "[]" is
//             nothing at all.
//   {a;b;...} the first alternative that leads to a match. Each alternative
//             is matched once: the way it first succeeds fixes its length,
//             and it is not retried with another when the rest fails. The
//             list stops at an empty alternative; "{}" never matches.
//   \c        c as an ordinary character; "\s" a space, "\t" a tab, "\$hh"
//             the character with hex code hh (one digit when the literal run
//             or item ends there); "\" at the very end is dropped.
// Unclosed "[" and "{" drop themselves and the rest of the mask; stray "]"
// and "}" are ordinary. Nothing is ever rejected.
//
// The bound. Compiling is linear in the mask and never recurses on the C
// stack; runs of "?" and "_", and of "%" and "*", compile to one counted
// element each. A mask of plain characters, "?", "#", "*" and "%" is matched
// straight from its text (direct.cpp); any other is compiled and
// backtracked as the language says (backtrack.cpp). Both work within a
// budget of steps linear in mask plus text (8 per element and text byte;
// for backtracking 2 on a large input, where steps that do not settle the
// mask only delay the exact paths; mask.cpp says why these figures), a
// step being a frame, a failed probe, a scan of 8 set members or of 64
// bytes by memchr or memcmp: each about the same time.
// That settles ordinary masks in linear time with no heap beyond the
// compiled mask. Past the budget the outcome is computed exactly for every
// text position at once:
//   without groups, or with groups only in the mask's own list whose
//     alternatives hold no group and end in one place per start (literals,
//     Required sets, counted "?", an any-run last) or close the mask, from
//     sets of positions, 64 to a word (bitsets.cpp): time O(elements x
//     text length / 64), memory under 300 x (text length / 8) bytes;
//   with any other groups, from tables of one entry per position
//     (positions.cpp): time O(elements x text length), memory 12 x (group
//     nesting depth + 1) x (text length + 1) bytes.
// Either is allowed at most kMatchBytes (16 MiB), on i386 and x86-64 alike
// (x86-64 could afford more, but both flavours must give the same results).
// So every mask without groups, and every mask whose groups nest at most 41
// deep, is decided exactly on any text SQL can pass (32,765 bytes); in
// general a mask with groups is decided exactly whenever
// (group nesting depth + 1) x (text length + 1) <= 1,398,101. Only a mask
// past that, on a text where backtracking also runs out of its budget, is
// TooComplex; so is a call that runs out of memory.
#pragma once

#include <cstdint>
#include <string_view>

namespace vantor {

struct CompiledMask;

// The most memory the position tables of one match may take.
constexpr int64_t kMatchBytes = int64_t{16} << 20;

enum class MatchOutcome : int8_t {
    NoMatch = 0,
    Match = 1,
    // Over the bound above (or out of memory): the engine cannot say.
    TooComplex = 2,
};

// The whole test on a text and a mask as written, compiling the mask for
// this call alone.
MatchOutcome MatchMaskOutcome(std::string_view text, std::string_view mask) noexcept;
// The same as a yes or no: TooComplex reads as no.
bool MatchMask(std::string_view text, std::string_view mask) noexcept;

// The last compiled mask, kept for the next call with the very same mask
// bytes: for a caller that lives across calls (the UDR module keeps one
// per function object, that is per attachment and statement). Masks longer
// than kMaxMaskBytes are compiled per call and not kept, so the cache holds
// at most a few hundred KiB. Not for sharing between threads.
class CompiledMaskCache {
public:
    static constexpr int32_t kMaxMaskBytes = 4096;

    CompiledMaskCache() noexcept;
    ~CompiledMaskCache();
    CompiledMaskCache(const CompiledMaskCache&) = delete;
    CompiledMaskCache& operator=(const CompiledMaskCache&) = delete;

    // MatchMaskOutcome, through the cache: results are identical.
    MatchOutcome Match(std::string_view text, std::string_view mask) noexcept;

private:
    friend MatchOutcome MatchMaskOutcome(std::string_view text, std::string_view mask) noexcept;
    // The whole test, through `cache` where there is one.
    static MatchOutcome Decide(std::string_view text, std::string_view mask, CompiledMaskCache* cache) noexcept;
    // Whether compiled_ holds this mask, compiled now if it was not.
    bool Keep(std::string_view mask) noexcept;

    CompiledMask* compiled_;  // owned; null when it could not be allocated
    char* key_;               // the mask bytes compiled_ was made from, owned
    int32_t keyLength_;       // -1: nothing kept
};

}  // namespace vantor
