// The position sets: a mask without groups decided over sets of text
// positions, 64 positions to a word. Without groups no element's first
// success is ever fixed (only alternatives fix lengths), and the whole mask
// must end at the end of the text, so the text matches exactly when some
// choice of each element's tries covers it: the set of positions where the
// rest of the mask may start is carried from the first element to the
// last, word-parallel, in time O(elements x text length / 64) and memory
// O(text length / 8) per set (at most a few hundred sets: one per byte
// value and per distinct character set met).
#include "mask/compiled.h"

namespace vantor {

namespace {

using Word = uint64_t;
constexpr int32_t kWordBits = 64;
constexpr int32_t kSetMasks = 8;  // character-set member masks kept at once

class PositionSets {
public:
    PositionSets(const CompiledMask& mask, std::string_view text) noexcept
        : mask_(mask),
          text_(reinterpret_cast<const unsigned char*>(text.data())),
          length_(static_cast<int32_t>(text.size())),
          words_(static_cast<int32_t>(text.size()) / kWordBits + 1) {}

    ~PositionSets() {
        std::free(block_);
        for (Word* m : charMasks_) std::free(m);
        for (SetMask& s : setMasks_) std::free(s.Bits);
    }
    PositionSets(const PositionSets&) = delete;
    PositionSets& operator=(const PositionSets&) = delete;

    MatchOutcome Run() noexcept {
        const size_t bytes = static_cast<size_t>(words_) * sizeof(Word);
        block_ = static_cast<Word*>(std::calloc(5, bytes));
        if (!block_) return MatchOutcome::TooComplex;
        Word* s = block_;
        Word* t = block_ + words_;
        scratch_[0] = block_ + 2 * words_;
        scratch_[1] = block_ + 3 * words_;
        scratch_[2] = block_ + 4 * words_;
        s[0] = 1;  // the mask starts at position 0
        const aWildcard& whole = mask_.Lists[0];
        for (int32_t e = whole.First; e < whole.First + whole.Count; ++e) {
            if (!Step(mask_.Elements[e], s, t)) return MatchOutcome::TooComplex;
            Word* swap = s;
            s = t;
            t = swap;
            while (low_ < words_ && s[low_] == 0) ++low_;
            if (low_ == words_) return MatchOutcome::NoMatch;
        }
        return Has(s, length_) ? MatchOutcome::Match : MatchOutcome::NoMatch;
    }

private:
    struct SetMask {
        uint32_t Accept[8];
        Word* Bits;
    };

    static bool Has(const Word* set, int32_t p) noexcept { return (set[p / kWordBits] >> (p % kWordBits)) & 1u; }
    static void Add(Word* set, int32_t p) noexcept { set[p / kWordBits] |= Word{1} << (p % kWordBits); }
    static void Drop(Word* set, int32_t p) noexcept { set[p / kWordBits] &= ~(Word{1} << (p % kWordBits)); }

    // Clears positions past the end of the text in the last word.
    void Trim(Word* set) const noexcept {
        const int32_t used = (length_ + 1) % kWordBits;
        if (used) set[words_ - 1] &= (Word{1} << used) - 1;
    }

    // out = { p + k : p in in } within the text, k >= 0.
    void ShiftUp(const Word* in, int32_t k, Word* out) const noexcept {
        const int32_t q = k / kWordBits, r = k % kWordBits;
        for (int32_t i = words_ - 1; i >= low_; --i) {
            Word w = i - q >= low_ ? in[i - q] << r : 0;
            if (r && i - q - 1 >= low_) w |= in[i - q - 1] >> (kWordBits - r);
            out[i] = w;
        }
        Trim(out);
    }
    // out = { p : p + k in in }, k >= 0; out may be in.
    void ShiftDown(const Word* in, int32_t k, Word* out) const noexcept {
        const int32_t q = k / kWordBits, r = k % kWordBits;
        for (int32_t i = low_; i < words_; ++i) {
            Word w = i + q < words_ ? in[i + q] >> r : 0;
            if (r && i + q + 1 < words_) w |= in[i + q + 1] << (kWordBits - r);
            out[i] = w;
        }
    }
    // out = { p : in holds p, p + 1, ..., p + k - 1 }, k >= 1; out may be in.
    void RunsAtLeast(const Word* in, int32_t k, Word* out) const noexcept {
        if (out != in)
            for (int32_t i = low_; i < words_; ++i) out[i] = in[i];
        for (int32_t have = 1; have < k;) {
            const int32_t step = have < k - have ? have : k - have;
            // out &= out shifted down by step, in place from low to high.
            const int32_t q = step / kWordBits, r = step % kWordBits;
            for (int32_t i = low_; i < words_; ++i) {
                Word w = i + q < words_ ? out[i + q] >> r : 0;
                if (r && i + q + 1 < words_) w |= out[i + q + 1] << (kWordBits - r);
                out[i] &= w;
            }
            have += step;
        }
    }
    // out |= the end of each run of members (in members) that holds a
    // position of starts (a subset of members): members + starts, carried.
    void RunEnds(const Word* members, const Word* starts, Word* out) const noexcept {
        Word carry = 0;
        for (int32_t i = low_; i < words_; ++i) {
            const Word sum = members[i] + starts[i];
            const Word c1 = sum < members[i];
            const Word total = sum + carry;
            const Word c2 = total < sum;
            carry = c1 | c2;
            out[i] |= total & ~members[i];
        }
    }

    // Positions holding byte c; null when memory runs out.
    const Word* CharMask(unsigned char c) noexcept {
        if (!charMasks_[c]) {
            Word* m = static_cast<Word*>(std::calloc(static_cast<size_t>(words_), sizeof(Word)));
            if (!m) return nullptr;
            for (int32_t p = 0; p < length_; ++p)
                if (text_[p] == c) Add(m, p);
            charMasks_[c] = m;
        }
        return charMasks_[c];
    }
    // Positions holding a member of the element's set; null when memory
    // runs out.
    const Word* MemberMask(const WildcardRec& element) noexcept {
        const uint32_t* accept = mask_.SetOf(element).Members.Words;
        for (SetMask& s : setMasks_)
            if (s.Bits && std::memcmp(s.Accept, accept, sizeof s.Accept) == 0) return s.Bits;
        SetMask& slot = setMasks_[nextSetMask_];
        nextSetMask_ = (nextSetMask_ + 1) % kSetMasks;
        if (!slot.Bits) slot.Bits = static_cast<Word*>(std::malloc(static_cast<size_t>(words_) * sizeof(Word)));
        if (!slot.Bits) return nullptr;
        std::memcpy(slot.Accept, accept, sizeof slot.Accept);
        for (int32_t i = 0; i < words_; ++i) slot.Bits[i] = 0;
        for (int32_t p = 0; p < length_; ++p) {
            const uint32_t c = text_[p];
            if ((accept[c >> 5] >> (c & 31)) & 1u) Add(slot.Bits, p);
        }
        return slot.Bits;
    }

    // out = where the rest may start after element, from in. False when
    // memory runs out.
    bool Step(const WildcardRec& element, Word* in, Word* out) noexcept {
        for (int32_t i = low_; i < words_; ++i) out[i] = 0;
        const int32_t n = length_;
        switch (element.Kind) {
        case wkLiteral: {
            Drop(in, n);  // Required: nothing at the end of the text
            const int32_t size = element.MaxCount;
            if (size == 0) {
                for (int32_t i = low_; i < words_; ++i) out[i] = in[i];
                return true;
            }
            if (size > n) return true;
            const unsigned char* literal = reinterpret_cast<const unsigned char*>(mask_.LiteralOf(element));
            // Candidates: where the first and the last byte stand.
            const Word* first = CharMask(literal[0]);
            const Word* last = CharMask(literal[size - 1]);
            if (!first || !last) return false;
            Word* candidates = scratch_[0];
            ShiftDown(last, size - 1, candidates);
            for (int32_t i = low_; i < words_; ++i) candidates[i] &= in[i] & first[i];
            if (size <= 2) {
                ShiftUp(candidates, size, out);
                return true;
            }
            for (int32_t i = low_; i < words_; ++i) {
                for (Word w = candidates[i]; w; w &= w - 1) {
                    const int32_t p = i * kWordBits + __builtin_ctzll(w);
                    if (p + size <= n && std::memcmp(text_ + p, literal, static_cast<size_t>(size)) == 0)
                        Add(out, p + size);
                }
            }
            return true;
        }
        case wkAnyChar: {
            // Every length from m to M: shift by m, then smear over M - m.
            ShiftUp(in, element.MinCount, out);
            const int32_t spread = element.MaxCount - element.MinCount;
            for (int32_t cover = 1; cover <= spread;) {
                const int32_t step = cover < spread + 1 - cover ? cover : spread + 1 - cover;
                Word* shifted = scratch_[0];
                ShiftUp(out, step, shifted);
                for (int32_t i = low_; i < words_; ++i) out[i] |= shifted[i];
                cover += step;
                if (cover > n) break;  // further lengths leave the text
            }
            return true;
        }
        case wkAnyRun: {
            // From the first start plus m to the end of the text.
            int32_t first = -1;
            for (int32_t i = low_; i < words_ && first < 0; ++i)
                if (in[i]) first = i * kWordBits + __builtin_ctzll(in[i]);
            const int64_t from = static_cast<int64_t>(first) + element.MinCount;
            for (int64_t p = from; p <= n; ++p) {
                if (p % kWordBits == 0 && p + kWordBits <= n + 1) {
                    out[p / kWordBits] = ~Word{0};
                    p += kWordBits - 1;
                } else {
                    Add(out, static_cast<int32_t>(p));
                }
            }
            return true;
        }
        case wkCharSet:
            return CharSet(element, in, out);
        default:
            return true;  // a group cannot occur here; any other kind fails
        }
    }

    bool CharSet(const WildcardRec& element, Word* in, Word* out) noexcept {
        const int32_t n = length_;
        const Word* members = MemberMask(element);
        if (!members) return false;
        // The starts that may try the run: a Required set needs text left,
        // and at least MinCount of it.
        Word* starts = scratch_[1];
        for (int32_t i = low_; i < words_; ++i) starts[i] = in[i];
        if (element.Required) {
            Drop(starts, n);
            const int64_t latest = static_cast<int64_t>(n) - element.MinCount;  // last start with room
            for (int64_t p = latest + 1 < 0 ? 0 : latest + 1; p < n; ++p) {
                if (p % kWordBits == 0) {
                    for (int32_t i = static_cast<int32_t>(p / kWordBits); i < words_; ++i) starts[i] = 0;
                    break;
                }
                Drop(starts, static_cast<int32_t>(p));
            }
        }
        Word* runStarts = scratch_[0];  // starts whose run is taken whole, to its end
        if (element.MaxCount > 0) {
            // Runs of MaxCount or more stop at MaxCount and are accepted.
            Word* full = scratch_[2];
            RunsAtLeast(members, element.MaxCount, full);
            Word* capped = runStarts;
            for (int32_t i = low_; i < words_; ++i) {
                capped[i] = starts[i] & full[i];
                starts[i] &= ~full[i];
            }
            Word* shifted = full;
            ShiftUp(capped, element.MaxCount, shifted);
            for (int32_t i = low_; i < words_; ++i) out[i] |= shifted[i];
            // Shorter runs are accepted when at least MinCount long; a run
            // of none stays where it is.
            if (element.MinCount > 0) {
                Word* longEnough = scratch_[2];
                RunsAtLeast(members, element.MinCount, longEnough);
                for (int32_t i = low_; i < words_; ++i) {
                    runStarts[i] = starts[i] & longEnough[i];
                }
            } else {
                for (int32_t i = low_; i < words_; ++i) {
                    runStarts[i] = starts[i] & members[i];
                    out[i] |= starts[i] & ~members[i];
                }
            }
        } else {
            // Unbounded: the whole run; a run of none is accepted unless
            // the set is Required.
            for (int32_t i = low_; i < words_; ++i) {
                runStarts[i] = starts[i] & members[i];
                if (!element.Required) out[i] |= starts[i] & ~members[i];
            }
        }
        RunEnds(members, runStarts, out);
        Trim(out);
        // An optional set that fails (or meets the end) matches nothing.
        if (!element.Required)
            for (int32_t i = low_; i < words_; ++i) out[i] |= in[i];
        return true;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    const int32_t words_;
    int32_t low_ = 0;  // words below hold no position: sets only move on
    Word* block_ = nullptr;
    Word* scratch_[3] = {};
    Word* charMasks_[256] = {};
    SetMask setMasks_[kSetMasks] = {};
    int32_t nextSetMask_ = 0;
};

}  // namespace

MatchOutcome MatchByPositionSets(const CompiledMask& mask, std::string_view text) noexcept {
    if (mask.Lists.empty()) return text.empty() ? MatchOutcome::Match : MatchOutcome::NoMatch;
    // At most five working sets, one mask per byte value and kSetMasks
    // member masks; past the bound (texts far longer than SQL passes), the
    // tables of exact.cpp need less.
    const int64_t words = static_cast<int64_t>(text.size()) / kWordBits + 1;
    if (mask.Groups > 0 || (5 + 256 + kSetMasks) * words * 8 > kMatchBytes) return MatchByPositions(mask, text);
    return PositionSets(mask, text).Run();
}

}  // namespace vantor
