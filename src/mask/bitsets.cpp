// The position sets: a mask without groups decided over sets of text
// positions, 64 positions to a word. Without groups no element's first
// success is ever fixed (only alternatives fix lengths), and the whole mask
// must end at the end of the text, so the text matches exactly when some
// choice of each element's tries covers it: the set of positions where the
// rest of the mask may start is carried from the first element to the
// last, word-parallel, in time O(elements x text length / 64) and memory
// O(text length / 8) per set (at most a few hundred sets: one per byte
// value and per distinct character set met).
//
// Groups whose alternatives end in one place for each start can join in.
// In the whole mask's list every success ends at the end of the text, so a
// group there leads on from p exactly when some alternative does: its
// first success from p, the only one that counts, must end where the rest
// of the mask can start. Where an alternative's first success is its only
// possible one (an open alternative of literals, Required sets and counted
// "?" runs, with at most an any-run last, which then takes its fewest
// characters), the group carries the set of starts to the set of those
// ends, alternative by alternative. An alternative whose list is closed
// must end at the end of the text, so any success of it is as good as the
// first and it is carried like the whole mask. Every other group goes to
// the position tables.
//
// Three shortcuts leave the outcome as it was: adjacent "?"/"_" and "%"/"*"
// elements of the whole mask's list are carried as one (lengths add up);
// where an element gives back the set it was handed, a following element
// that reads exactly alike would too and is skipped; and an unbounded run
// reads only the first position of its set, so its own set (every
// position from one on) stays unwritten, and a group of short literals
// between two such runs looks only for its first end.
//
// What it saves, on x86-64 in-process, against the position tables on the
// same compiled mask: '*a*a*a*a*a*a*a*a*b' on 32 KiB of "a" is decided in
// 53 us where the tables take 336 us, and the hostile masks of 20,000 to
// 32,000 characters on 32 KiB in 0.05 to 13.7 ms where the tables take 0.28
// to 0.98 s (bench/mask_paths_bench.cpp: BM_PositionSets, BM_PositionTables).
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
        if (!Allocate()) return MatchOutcome::TooComplex;
        Word* s = block_;
        Word* t = block_ + words_;
        s[0] = 1;  // the mask starts at position 0
        const aWildcard& whole = mask_.Lists[0];
        const int32_t end = whole.First + whole.Count;
        for (int32_t e = whole.First; e < end;) {
            int32_t after;
            switch (Carry(e, end, s, t, after)) {
            case Carried::Failed:
                return MatchOutcome::TooComplex;
            case Carried::Nowhere:
                return MatchOutcome::NoMatch;
            case Carried::FromOn:
                e = after;
                continue;
            case Carried::Into:
                break;
            }
            // Elements that read exactly alike give back a set they are
            // handed back: once one does, the rest of them are skipped. A
            // Required element ignores the end of the text in the set it is
            // handed (and may have dropped it from s).
            const WildcardRec& element = mask_.Elements[e];
            if (after < end && Alike(element, mask_.Elements[after]) && Same(s, t, element.Required))
                while (after < end && Alike(element, mask_.Elements[after])) ++after;
            e = after;
            Word* swap = s;
            s = t;
            t = swap;
            while (low_ < words_ && s[low_] == 0) ++low_;
            if (low_ == words_) return MatchOutcome::NoMatch;
        }
        return from_ >= 0 || Has(s, length_) ? MatchOutcome::Match : MatchOutcome::NoMatch;
    }

    // The run of "?", "_", "%" and "*" elements from e on (before end) as
    // one element; returns the index after it.
    int32_t JoinRuns(int32_t e, int32_t end, WildcardRec& joined) const noexcept {
        joined = mask_.Elements[e];
        int32_t after = e + 1;
        while (after < end && (mask_.Elements[after].Kind == wkAnyChar || mask_.Elements[after].Kind == wkAnyRun)) {
            const WildcardRec& more = mask_.Elements[after++];
            joined.MinCount = Capped(static_cast<int64_t>(joined.MinCount) + more.MinCount);
            if (more.Kind == wkAnyRun) joined.Kind = wkAnyRun;
            if (joined.Kind == wkAnyChar)
                joined.MaxCount = Capped(static_cast<int64_t>(joined.MaxCount) + more.MaxCount);
        }
        joined.Required = joined.MinCount > 0;
        return after;
    }

    // The first position of a set that holds one (from low_ on).
    int64_t FirstOf(const Word* set) const noexcept {
        for (int32_t i = low_; i < words_; ++i)
            if (set[i]) return static_cast<int64_t>(i) * kWordBits + __builtin_ctzll(set[i]);
        return length_ + int64_t{1};
    }

    // Writes out the positions from from_ to the end of the text into s,
    // where from_ is set, and unsets it.
    void WriteOut(Word* s) noexcept {
        if (from_ < 0) return;
        const int32_t word = from_ / kWordBits;
        for (int32_t i = low_; i < words_; ++i)
            s[i] = i < word ? 0 : i > word ? ~Word{0} : ~Word{0} << (from_ % kWordBits);
        Trim(s);
        from_ = -1;
    }

    // Whether every alternative of a group is one literal of one or two
    // characters, in an open list.
    bool ShortLiterals(const WildcardRec& group) const noexcept {
        for (int32_t a = 0; a < group.AlternativeCount; ++a) {
            const aWildcard& list = mask_.Lists[group.Alternatives + a];
            if (!list.OpenEnd || list.Count != 1) return false;
            const WildcardRec& only = mask_.Elements[list.First];
            if (only.Kind != wkLiteral || only.MaxCount < 1 || only.MaxCount > 2) return false;
        }
        return true;
    }

    // The first end of such a group from any start from `from` on: the
    // least p + size over its literals standing at p >= from; -1 where
    // there is none. False when memory runs out.
    bool FirstEnd(const WildcardRec& group, int32_t from, int32_t& firstEnd) noexcept {
        int64_t best = INT64_MAX;
        for (int32_t a = 0; a < group.AlternativeCount; ++a) {
            const WildcardRec& literal = mask_.Elements[mask_.Lists[group.Alternatives + a].First];
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(mask_.LiteralOf(literal));
            const int32_t size = literal.MaxCount;
            const Word* first = CharMask(bytes[0]);
            const Word* last = CharMask(bytes[size - 1]);
            if (!first || !last) return false;
            // The bytes lie within the text, so p + size <= length.
            for (int32_t i = from / kWordBits; i < words_ && static_cast<int64_t>(i) * kWordBits + size < best; ++i) {
                Word starts = first[i];
                if (size == 2) starts &= (last[i] >> 1) | (i + 1 < words_ ? last[i + 1] << (kWordBits - 1) : 0);
                if (i == from / kWordBits) starts &= ~Word{0} << (from % kWordBits);
                if (starts) {
                    const int64_t end = static_cast<int64_t>(i) * kWordBits + __builtin_ctzll(starts) + size;
                    if (end < best) best = end;
                    break;
                }
            }
        }
        firstEnd = best == INT64_MAX ? -1 : static_cast<int32_t>(best);
        return true;
    }

    // The working sets Run takes: five, and two more for groups.
    static int32_t WorkingSets(const CompiledMask& mask) noexcept { return mask.Groups > 0 ? 7 : 5; }

    // Whether every group of the mask can be carried as sets (see above).
    static bool CarriesGroups(const CompiledMask& mask) noexcept {
        if (mask.Groups == 0) return true;
        if (mask.GroupDepth != 1) return false;
        const aWildcard& whole = mask.Lists[0];
        for (int32_t e = whole.First; e < whole.First + whole.Count; ++e) {
            const WildcardRec& group = mask.Elements[e];
            if (group.Kind != wkGroup) continue;
            for (int32_t a = 0; a < group.AlternativeCount; ++a) {
                const aWildcard& list = mask.Lists[group.Alternatives + a];
                if (!list.OpenEnd) continue;
                for (int32_t i = list.First; i < list.First + list.Count; ++i) {
                    const WildcardRec& element = mask.Elements[i];
                    const bool single = element.Kind == wkLiteral ||
                                        (element.Kind == wkCharSet && element.Required) ||
                                        (element.Kind == wkAnyChar && element.MinCount == element.MaxCount &&
                                         element.Required) ||
                                        (element.Kind == wkAnyRun && i == list.First + list.Count - 1);
                    if (!single) return false;
                }
            }
        }
        return true;
    }

private:
    struct SetMask {
        uint32_t Accept[8];
        Word* Bits;
    };

    // How an element of the whole mask's list was carried: into t; or as
    // every position from from_ on (s left unwritten); or to no position
    // at all; or not, memory having run out.
    enum class Carried : uint8_t { Into, FromOn, Nowhere, Failed };

    // The working sets, in one block.
    bool Allocate() noexcept {
        const size_t bytes = static_cast<size_t>(words_) * sizeof(Word);
        block_ = static_cast<Word*>(std::calloc(static_cast<size_t>(WorkingSets(mask_)), bytes));
        if (!block_) return false;
        scratch_[0] = block_ + 2 * words_;
        scratch_[1] = block_ + 3 * words_;
        scratch_[2] = block_ + 4 * words_;
        if (mask_.Groups > 0) {
            alternative_[0] = block_ + 5 * words_;
            alternative_[1] = block_ + 6 * words_;
        }
        return true;
    }

    // Carries the set of starts s over the element at e (and the runs
    // joined to it), setting after to the element that follows.
    Carried Carry(int32_t e, int32_t end, Word* s, Word* t, int32_t& after) noexcept {
        const WildcardRec& element = mask_.Elements[e];
        after = e + 1;
        if (element.Kind == wkAnyChar || element.Kind == wkAnyRun) {
            // Adjacent runs of either kind take the sums of their lengths.
            WildcardRec joined;
            after = JoinRuns(e, end, joined);
            if (joined.Kind == wkAnyRun) {
                const int64_t first = from_ >= 0 ? from_ : FirstOf(s);
                if (first + joined.MinCount > length_) return Carried::Nowhere;
                StartFrom(static_cast<int32_t>(first + joined.MinCount));
                return Carried::FromOn;
            }
            WriteOut(s);
            return Step(joined, s, t) ? Carried::Into : Carried::Failed;
        }
        if (element.Kind != wkGroup) {
            WriteOut(s);
            return Step(element, s, t) ? Carried::Into : Carried::Failed;
        }
        // Between two unbounded runs (the first one's set not written out),
        // a group of short literals needs only its first end.
        if (from_ >= 0 && ShortLiterals(element) && after < end &&
            (mask_.Elements[after].Kind == wkAnyChar || mask_.Elements[after].Kind == wkAnyRun)) {
            WildcardRec next;
            (void)JoinRuns(after, end, next);
            if (next.Kind == wkAnyRun) {
                int32_t firstEnd;
                if (!FirstEnd(element, from_, firstEnd)) return Carried::Failed;
                if (firstEnd < 0) return Carried::Nowhere;
                StartFrom(firstEnd);
                return Carried::FromOn;
            }
        }
        WriteOut(s);
        return Group(element, s, t) ? Carried::Into : Carried::Failed;
    }

    // The set becomes every position from `from` on, kept as from_ alone.
    void StartFrom(int32_t from) noexcept {
        from_ = from;
        low_ = from / kWordBits;
    }

    // A sum of lengths, kept within int32_t: anything past the text is as
    // good as any other such length.
    int32_t Capped(int64_t count) const noexcept {
        return count > static_cast<int64_t>(length_) + 1 ? length_ + 1 : static_cast<int32_t>(count);
    }

    // Whether two sets hold the same positions, the end of the text left
    // out where ignoreEnd.
    bool Same(const Word* a, const Word* b, bool ignoreEnd) const noexcept {
        // The end of the text is in the last word.
        const int32_t last = words_ - 1;
        Word differ = a[last] ^ b[last];
        if (ignoreEnd) differ &= ~(Word{1} << (length_ % kWordBits));
        for (int32_t i = low_; i < last; ++i) differ |= a[i] ^ b[i];
        return differ == 0;
    }

    // Whether two elements carry every set alike.
    bool Alike(const WildcardRec& a, const WildcardRec& b) const noexcept {
        if (a.Kind != b.Kind || a.Required != b.Required || a.MinCount != b.MinCount || a.MaxCount != b.MaxCount)
            return false;
        switch (a.Kind) {
        case wkLiteral:
            return std::memcmp(mask_.LiteralOf(a), mask_.LiteralOf(b), static_cast<size_t>(a.MaxCount)) == 0;
        case wkCharSet:
            return std::memcmp(mask_.SetOf(a).Members.Words, mask_.SetOf(b).Members.Words,
                               sizeof(CharBits::Words)) == 0;
        case wkGroup:
            if (a.AlternativeCount != b.AlternativeCount) return false;
            for (int32_t i = 0; i < a.AlternativeCount; ++i) {
                const aWildcard& x = mask_.Lists[a.Alternatives + i];
                const aWildcard& y = mask_.Lists[b.Alternatives + i];
                if (x.Count != y.Count || x.OpenEnd != y.OpenEnd) return false;
                for (int32_t k = 0; k < x.Count; ++k)
                    if (mask_.Elements[x.First + k].Kind == wkGroup ||
                        !Alike(mask_.Elements[x.First + k], mask_.Elements[y.First + k]))
                        return false;
            }
            return true;
        default:
            return true;
        }
    }

    // out = where the rest may start after a group of the whole mask's list
    // (see above), from in. False when memory runs out.
    bool Group(const WildcardRec& group, Word* in, Word* out) noexcept {
        for (int32_t i = low_; i < words_; ++i) out[i] = 0;
        Drop(in, length_);  // Required: nothing at the end of the text
        for (int32_t a = 0; a < group.AlternativeCount; ++a) {
            const aWildcard& list = mask_.Lists[group.Alternatives + a];
            if (list.OpenEnd && list.Count == 1) {
                const WildcardRec& only = mask_.Elements[list.First];
                if (only.Kind == wkLiteral && (only.MaxCount == 1 || only.MaxCount == 2)) {
                    if (!ShortLiteralInto(only, in, out)) return false;
                    continue;
                }
            }
            Word* cur = alternative_[0];
            Word* next = alternative_[1];
            for (int32_t i = low_; i < words_; ++i) cur[i] = in[i];
            for (int32_t e = list.First; e < list.First + list.Count; ++e) {
                const WildcardRec& element = mask_.Elements[e];
                if (list.OpenEnd && element.Kind == wkAnyRun) {
                    // Last in its open list: the fewest characters it may take.
                    ShiftUp(cur, element.MinCount, next);
                } else if (!Step(element, cur, next)) {
                    return false;
                }
                Word* swap = cur;
                cur = next;
                next = swap;
            }
            if (list.OpenEnd) {
                for (int32_t i = low_; i < words_; ++i) out[i] |= cur[i];
            } else if (Has(cur, length_)) {
                Add(out, length_);
            }
        }
        return true;
    }

    // out |= where a literal of one or two characters ends, for the starts
    // in `in` (which holds no end of the text), in one pass. False when
    // memory runs out.
    bool ShortLiteralInto(const WildcardRec& literal, const Word* in, Word* out) noexcept {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(mask_.LiteralOf(literal));
        const int32_t size = literal.MaxCount;
        const Word* first = CharMask(bytes[0]);
        const Word* last = CharMask(bytes[size - 1]);
        if (!first || !last) return false;
        // A start p needs its first byte at p and its last at p + size - 1
        // (both within the text, so p + size <= length); it ends at p + size.
        Word previous = 0;  // the starts of the word before
        for (int32_t i = low_; i < words_; ++i) {
            Word starts = in[i] & first[i];
            if (size == 2) starts &= (last[i] >> 1) | (i + 1 < words_ ? last[i + 1] << (kWordBits - 1) : 0);
            out[i] |= (starts << size) | (previous >> (kWordBits - size));
            previous = starts;
        }
        return true;
    }

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
        const CharBits& members = mask_.SetOf(element).Members;
        const uint32_t* accept = members.Words;
        for (SetMask& s : setMasks_)
            if (s.Bits && std::memcmp(s.Accept, accept, sizeof s.Accept) == 0) return s.Bits;
        SetMask& slot = setMasks_[nextSetMask_];
        nextSetMask_ = (nextSetMask_ + 1) % kSetMasks;
        if (!slot.Bits) slot.Bits = static_cast<Word*>(std::malloc(static_cast<size_t>(words_) * sizeof(Word)));
        if (!slot.Bits) return nullptr;
        std::memcpy(slot.Accept, accept, sizeof slot.Accept);
        for (int32_t i = 0; i < words_; ++i) slot.Bits[i] = 0;
        for (int32_t p = 0; p < length_; ++p)
            if (members.Has(text_[p])) Add(slot.Bits, p);
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
            if (first < 0) return true;  // no start (in a group's alternative)
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

    // out |= where the rest may start after a set's possessive run, from
    // in; the rule of PossessiveRun, applied to every start at once.
    bool CharSet(const WildcardRec& element, Word* in, Word* out) noexcept {
        const int32_t n = length_;
        const Word* members = MemberMask(element);
        if (!members) return false;
        const PossessiveRun rule(element);
        // The starts that may try the run: a Required set needs text left,
        // and at least Room of it.
        Word* starts = scratch_[1];
        for (int32_t i = low_; i < words_; ++i) starts[i] = in[i];
        if (rule.Required) {
            Drop(starts, n);
            const int64_t latest = static_cast<int64_t>(n) - rule.Room;  // last start with room
            for (int64_t p = latest + 1 < 0 ? 0 : latest + 1; p < n; ++p) {
                if (p % kWordBits == 0) {
                    for (int32_t i = static_cast<int32_t>(p / kWordBits); i < words_; ++i) starts[i] = 0;
                    break;
                }
                Drop(starts, static_cast<int32_t>(p));
            }
        }
        if (rule.Bounded()) {
            // Runs that reach the cap stop there and are taken.
            Word* full = scratch_[2];
            RunsAtLeast(members, rule.Cap, full);
            Word* capped = scratch_[0];
            for (int32_t i = low_; i < words_; ++i) {
                capped[i] = starts[i] & full[i];
                starts[i] &= ~full[i];
            }
            Word* shifted = full;
            ShiftUp(capped, rule.Cap, shifted);
            for (int32_t i = low_; i < words_; ++i) out[i] |= shifted[i];
        }
        // Shorter runs are taken whole, to their end, when at least Shortest
        // long; a run of none (where that is allowed) stays where it is.
        Word* runStarts = scratch_[0];
        if (rule.Shortest > 1) {
            Word* longEnough = scratch_[2];
            RunsAtLeast(members, rule.Shortest, longEnough);
            for (int32_t i = low_; i < words_; ++i) runStarts[i] = starts[i] & longEnough[i];
        } else {
            for (int32_t i = low_; i < words_; ++i) {
                runStarts[i] = starts[i] & members[i];
                if (rule.Shortest <= 0) out[i] |= starts[i] & ~members[i];
            }
        }
        RunEnds(members, runStarts, out);
        Trim(out);
        // An optional set that fails (or meets the end) matches nothing.
        if (!rule.Required)
            for (int32_t i = low_; i < words_; ++i) out[i] |= in[i];
        return true;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    const int32_t words_;
    int32_t low_ = 0;  // words below hold no position: sets only move on
    // Where set, the set of starts stands for every position from from_ to
    // the end of the text and is not written out: an unbounded run makes
    // such a set from its first start alone, and the next such run reads
    // only its first position.
    int32_t from_ = -1;
    Word* block_ = nullptr;
    Word* scratch_[3] = {};
    Word* alternative_[2] = {};  // an alternative of a group being carried
    Word* charMasks_[256] = {};
    SetMask setMasks_[kSetMasks] = {};
    int32_t nextSetMask_ = 0;
};

}  // namespace

bool PositionSetsDecide(const CompiledMask& mask, size_t textLength) noexcept {
    // At most seven working sets, one mask per byte value and kSetMasks
    // member masks; past the bound (texts far longer than SQL passes), the
    // tables of positions.cpp need less.
    const int64_t words = static_cast<int64_t>(textLength / kWordBits) + 1;
    return PositionSets::CarriesGroups(mask) &&
           (PositionSets::WorkingSets(mask) + 256 + kSetMasks) * words * 8 <= kMatchBytes;
}

MatchOutcome MatchByPositionSets(const CompiledMask& mask, std::string_view text) noexcept {
    if (mask.Lists.empty()) return text.empty() ? MatchOutcome::Match : MatchOutcome::NoMatch;
    if (!PositionSetsDecide(mask, text.size())) return MatchByPositions(mask, text);
    return PositionSets(mask, text).Run();
}

}  // namespace vantor
