// The position tables: the outcome of the backtracking discipline computed
// for every text position at once, in time O(elements x text length) and
// memory bounded by the nesting of groups, never by the number of elements.
//
// For a list and a position p, End(p) is where the list's first success
// from p ends (the order of tries fixes which success is first), or kFail.
// A list's End is computed from its last element to its first, each
// element's table from the next one's:
//   end of list     p where the list is open; p = length only where closed
//   literal         End'(p + n) where the literal stands at p
//   any-char m..M   End'(q) for the largest q in [p + m, p + M] with End'(q)
//                   set: the single elements reach longer lengths first
//   any-run m..     End'(q) for the smallest such q from p + m: shortest first
//   set             End'(p + r) for the possessive run r, or End'(p) where
//                   optional and that fails
//   group           for each alternative in order, k = End_alt(p): the
//                   first with End'(k) set gives it
// and the empty-text rule (a Required element fails at the end of the text,
// another passes it on) first. A group's alternatives are folded in one at
// a time, so each nesting level holds three tables: the next element's,
// the one being made, and the group's being folded. Levels are visited
// depth first on an explicit stack.
#include "mask/compiled.h"

namespace vantor {

namespace {

constexpr int32_t kFail = -1;
constexpr int32_t kUndecided = -2;

// Three tables of length + 1 entries for one nesting level.
struct Level {
    int32_t* Tables[3];
};

// The tables of every level, in one block taken on first use: one block of
// the whole bound's size is kept by the C library's allocator from call to
// call where forty separate ones would be handed back to the system and
// faulted in afresh each time.
class LevelTables {
public:
    LevelTables(int32_t width, int32_t levels) noexcept : width_(width), levels_(levels) {}
    ~LevelTables() { std::free(block_); }
    LevelTables(const LevelTables&) = delete;
    LevelTables& operator=(const LevelTables&) = delete;

    // The tables of level k; false when memory runs out.
    bool Get(int32_t k, Level& level) noexcept {
        if (k >= levels_) return false;
        if (!block_) {
            block_ = static_cast<int32_t*>(
                std::malloc(static_cast<size_t>(width_) * 3 * static_cast<size_t>(levels_) * sizeof(int32_t)));
            if (!block_) return false;
        }
        int32_t* tables = block_ + static_cast<size_t>(width_) * 3 * static_cast<size_t>(k);
        level = Level{{tables, tables + width_, tables + 2 * static_cast<size_t>(width_)}};
        return true;
    }

private:
    const int32_t width_;
    const int32_t levels_;
    int32_t* block_ = nullptr;
};

// One list being computed: its tables are Level's, Next holds the table of
// the element after Element, and Acc the group being folded.
struct ListFrame {
    int32_t List;
    int32_t Element;      // the element whose table is made next, going down
    int32_t Alternative;  // the group's alternative being computed
    int32_t Next, Spare, Acc;  // indices into the level's Tables
};

class PositionTables {
public:
    PositionTables(const CompiledMask& mask, std::string_view text) noexcept
        : mask_(mask),
          text_(reinterpret_cast<const unsigned char*>(text.data())),
          length_(static_cast<int32_t>(text.size())),
          tables_(static_cast<int32_t>(text.size()) + 1, mask.GroupDepth + 1) {}

    MatchOutcome Run() noexcept {
        SmallVec<ListFrame, 16> stack;
        Level level;
        if (!tables_.Get(0, level) || !stack.push_back(ListFrame{0, 0, 0, 0, 1, 2})) return MatchOutcome::TooComplex;
        StartList(stack.back(), level);
        for (;;) {
            ListFrame& f = stack.back();
            const int32_t depth = stack.size() - 1;
            if (!tables_.Get(depth, level)) return MatchOutcome::TooComplex;
            const aWildcard& list = mask_.Lists[f.List];
            if (f.Element < list.First) {
                // The list is done: its End is in Next.
                const int32_t* end = level.Tables[f.Next];
                if (depth == 0) return end[0] >= 0 ? MatchOutcome::Match : MatchOutcome::NoMatch;
                stack.pop_back();
                ListFrame& parent = stack.back();
                Level up;
                (void)tables_.Get(depth - 1, up);  // allocated before this level
                // Once every position is decided, the alternatives left
                // can change nothing: they are not computed.
                if (FoldAlternative(up, parent, end)) ++parent.Alternative;
                else parent.Alternative = mask_.Elements[parent.Element].AlternativeCount;
                continue;
            }
            const WildcardRec& element = mask_.Elements[f.Element];
            if (element.Kind != wkGroup) {
                Step(element, level.Tables[f.Next], level.Tables[f.Spare]);
                const int32_t t = f.Next;
                f.Next = f.Spare;
                f.Spare = t;
                --f.Element;
                continue;
            }
            if (f.Alternative == 0) {
                int32_t* acc = level.Tables[f.Acc];
                for (int32_t p = 0; p < length_; ++p) acc[p] = kUndecided;
                acc[length_] = kFail;  // a group is Required
            }
            if (f.Alternative < element.AlternativeCount) {
                // Compute the alternative's End one level down.
                Level down;
                if (!tables_.Get(depth + 1, down) ||
                    !stack.push_back(ListFrame{element.Alternatives + f.Alternative, 0, 0, 0, 1, 2}))
                    return MatchOutcome::TooComplex;
                StartList(stack.back(), down);
                continue;
            }
            // Every alternative tried: the rest fail.
            int32_t* acc = level.Tables[f.Acc];
            for (int32_t p = 0; p < length_; ++p)
                if (acc[p] == kUndecided) acc[p] = kFail;
            const int32_t t = f.Next;
            f.Next = f.Acc;
            f.Acc = t;
            f.Alternative = 0;
            --f.Element;
        }
    }

private:
    // Sets up frame f for its list: the end of the list in Next, the last
    // element to be made first.
    void StartList(ListFrame& f, const Level& level) noexcept {
        const aWildcard& list = mask_.Lists[f.List];
        int32_t* end = level.Tables[f.Next];
        if (list.OpenEnd) {
            for (int32_t p = 0; p <= length_; ++p) end[p] = p;
        } else {
            for (int32_t p = 0; p < length_; ++p) end[p] = kFail;
            end[length_] = length_;
        }
        f.Element = list.First + list.Count - 1;
    }

    // Alternative parent.Alternative of the group at parent.Element has End
    // `alternative`: positions still undecided that it leads on from are
    // decided. Returns whether any position is left undecided.
    bool FoldAlternative(const Level& level, const ListFrame& parent, const int32_t* alternative) noexcept {
        int32_t* acc = level.Tables[parent.Acc];
        const int32_t* next = level.Tables[parent.Next];
        int32_t undecided = 0;
        for (int32_t p = 0; p < length_; ++p) {
            if (acc[p] != kUndecided) continue;
            const int32_t k = alternative[p];
            const int32_t v = k >= 0 ? next[k] : kFail;
            if (v >= 0) acc[p] = v;
            else ++undecided;
        }
        return undecided > 0;
    }

    // The table of a non-group element from the next one's.
    void Step(const WildcardRec& element, const int32_t* next, int32_t* out) noexcept {
        const int32_t n = length_;
        out[n] = element.Required ? kFail : next[n];
        switch (element.Kind) {
        case wkLiteral:
            Literal(element, next, out);
            break;
        case wkAnyChar: {
            // The largest q in [p + m, min(p + M, n)] with next[q] set.
            const int32_t m = element.MinCount;
            const int32_t most = element.MaxCount;
            int32_t scanned = -1, lastSet = -1;
            for (int32_t p = 0; p < n; ++p) {
                const int32_t high = n - p < most ? n : p + most;
                while (scanned < high) {
                    ++scanned;
                    if (next[scanned] >= 0) lastSet = scanned;
                }
                out[p] = n - p >= m && lastSet >= p + m ? next[lastSet] : kFail;
            }
            break;
        }
        case wkAnyRun: {
            // The smallest q >= p + m with next[q] set.
            const int32_t m = element.MinCount;
            int32_t firstSet = kFail;
            for (int32_t p = n; p >= 0; --p) {
                const int64_t low = static_cast<int64_t>(p) + m;
                if (low <= n && next[low] >= 0) firstSet = static_cast<int32_t>(low);
                if (p < n) out[p] = low <= n && firstSet >= 0 ? next[firstSet] : kFail;
            }
            break;
        }
        case wkCharSet: {
            const CharBits& members = mask_.SetOf(element).Members;
            const PossessiveRun rule(element);
            int32_t run = 0;  // members from p on
            for (int32_t p = n - 1; p >= 0; --p) {
                run = members.Has(text_[p]) ? run + 1 : 0;
                const int32_t taken = rule.Taken(run, n - p);
                int32_t v = taken >= 0 ? next[p + taken] : kFail;
                // An optional set that fails matches nothing.
                if (v < 0 && !element.Required) v = next[p];
                out[p] = v;
            }
            break;
        }
        default:
            for (int32_t p = 0; p < n; ++p) out[p] = kFail;
            break;
        }
    }

    // A literal: next[p + size] where it stands at p. Occurrences are found
    // with a failure table (in out's own tail, built before out is written
    // there), so a long literal over a repetitive text costs O(text), not
    // O(text x literal).
    void Literal(const WildcardRec& element, const int32_t* next, int32_t* out) noexcept {
        const int32_t n = length_;
        const int32_t size = element.MaxCount;
        const unsigned char* literal = reinterpret_cast<const unsigned char*>(mask_.LiteralOf(element));
        if (size == 0) {
            for (int32_t p = 0; p < n; ++p) out[p] = next[p];
            return;
        }
        if (size > n) {
            for (int32_t p = 0; p < n; ++p) out[p] = kFail;
            return;
        }
        if (size <= 16) {
            for (int32_t p = 0; p < n; ++p)
                out[p] = p + size <= n && next[p + size] >= 0 && text_[p] == literal[0] &&
                                 std::memcmp(text_ + p, literal, static_cast<size_t>(size)) == 0
                             ? next[p + size]
                             : kFail;
            return;
        }
        // The failure table takes out[n - size + 1 .. n]: positions where
        // the literal no longer fits, which fail anyway; out[n] is set last.
        const int32_t saved = out[n];
        int32_t* fail = out + (n - size + 1);  // size entries
        fail[0] = 0;
        for (int32_t i = 1, k = 0; i < size; ++i) {
            while (k > 0 && literal[i] != literal[k]) k = fail[k - 1];
            if (literal[i] == literal[k]) ++k;
            fail[i] = k;
        }
        for (int32_t p = 0; p <= n - size; ++p) out[p] = kFail;
        // Each match ends at i and starts at i - size + 1 <= n - size, so
        // writing out[start] never touches the table.
        for (int32_t i = 0, k = 0; i < n; ++i) {
            while (k > 0 && text_[i] != literal[k]) k = fail[k - 1];
            if (text_[i] == literal[k]) ++k;
            if (k == size) {
                const int32_t start = i - size + 1;
                out[start] = next[start + size];
                k = fail[k - 1];
            }
        }
        for (int32_t p = n - size + 1; p < n; ++p) out[p] = kFail;
        out[n] = saved;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    LevelTables tables_;
};

}  // namespace

MatchOutcome MatchByPositions(const CompiledMask& mask, std::string_view text) noexcept {
    if (mask.Lists.empty()) return text.empty() ? MatchOutcome::Match : MatchOutcome::NoMatch;
    // Three tables of 4-byte entries per level, a level per nesting depth.
    const int64_t bytes = int64_t{3} * (mask.GroupDepth + 1) * (static_cast<int64_t>(text.size()) + 1) * 4;
    if (bytes > kMatchBytes || text.size() > static_cast<size_t>(INT32_MAX / 16)) return MatchOutcome::TooComplex;
    return PositionTables(mask, text).Run();
}

}  // namespace vantor
