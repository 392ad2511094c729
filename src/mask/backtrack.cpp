// The backtracking matcher: the matching discipline of the language, step
// by step, on an explicit stack, within a budget of steps. It settles
// ordinary masks at once; when its budget runs out, MatchWildcard hands the
// match to the position tables (exact.cpp), which give the same outcome in
// bounded time.
#include "mask/compiled.h"

namespace vantor {

namespace {

constexpr int32_t kFail = -1;
constexpr int32_t kGiveUp = -2;
constexpr int32_t kOutOfMemory = -3;

// Where a frame resumes after the value of a continuation comes back.
enum Stage : int32_t {
    kEnter,
    kPass,             // the element's value is that of the continuation
    kAnyCharTry,       // about to try the length ending at Probe
    kAnyCharTried,     // after trying the length ending at Probe
    kAnyRunSearch,     // looking for the shortest length that leads on
    kAnyRunTried,      // after trying the length ending at Probe
    kSetTookRun,       // after trying the possessive run
    kGroupNext,        // about to try alternative Probe
    kGroupMatched,     // after matching alternative Probe
    kGroupContinued,   // after continuing behind alternative Probe
};

// One pending evaluation: the element at Position.
struct Frame {
    int32_t Element;
    int32_t Position;
    int32_t Stage;
    int32_t Probe;  // any-char, any-run: the end being tried; group: the alternative
    int32_t Limit;  // any-char: the lowest end it may try
};

// Evaluates elements over one text. A state is an element index, or
// Elements.size() + k for the end of list k. The outcome of a state at a
// position is where its list's match ends, or kFail. Every call from a
// frame goes to a higher element index (the next element of its list, or
// the first of an alternative, which was compiled after its group), so the
// stack never holds more frames than there are elements.
class Backtracker {
public:
    Backtracker(const CompiledMask& mask, std::string_view text, int64_t steps) noexcept
        : mask_(mask),
          text_(reinterpret_cast<const unsigned char*>(text.data())),
          length_(static_cast<int32_t>(text.size())),
          elements_(mask.Elements.size()),
          steps_(steps) {}

    int32_t Run() noexcept {
        const aWildcard& whole = mask_.Lists[0];
        const int32_t start = whole.Count ? whole.First : elements_;
        int32_t outcome;
        if (Known(start, 0, outcome)) return outcome;
        // Room for the deepest chain, reserved once: frames are then never
        // moved while a reference to the top one is held.
        SmallVec<Frame, 32> stack;
        if (!stack.reserve(static_cast<int64_t>(elements_) + 1)) return kOutOfMemory;
        (void)stack.push_back(Frame{start, 0, kEnter, 0, 0});
        int32_t value = 0;  // the outcome a finished callee hands back

        // Continues frame f with state at position, resuming at `resume`:
        // either the outcome is known at once (value is set), or a frame is
        // pushed. Returns false when the budget runs out.
        auto call = [&](Frame& f, int32_t state, int32_t position, int32_t resume) noexcept {
            f.Stage = resume;
            if (Known(state, position, value)) return true;
            if (--steps_ < 0) return false;
            (void)stack.push_back(Frame{state, position, kEnter, 0, 0});  // room reserved
            return true;
        };

        for (;;) {
            Frame& f = stack.back();
            const WildcardRec& element = mask_.Elements[f.Element];
            const int32_t p = f.Position;
            int32_t result = kGiveUp;  // stays so while the frame is unfinished
            switch (f.Stage) {
            case kEnter:
                if (p == length_) {
                    // Where no text is left, a Required element fails and
                    // any other is skipped, whatever its kind.
                    if (element.Required) result = kFail;
                    else if (!call(f, Next(f.Element), p, kPass)) return kGiveUp;
                    break;
                }
                switch (element.Kind) {
                case wkLiteral:
                    if (!LiteralAt(element, p)) result = kFail;
                    else if (!call(f, Next(f.Element), p + element.MaxCount, kPass)) return kGiveUp;
                    break;
                case wkAnyChar: {
                    // Longest first: the order in which the single elements
                    // first reach each length.
                    const int32_t remaining = length_ - p;
                    if (remaining < element.MinCount) {
                        result = kFail;
                        break;
                    }
                    f.Probe = p + (remaining < element.MaxCount ? remaining : element.MaxCount);
                    f.Limit = p + element.MinCount;
                    f.Stage = kAnyCharTry;
                    break;
                }
                case wkAnyRun:
                    f.Probe = p + element.MinCount;
                    f.Stage = kAnyRunSearch;
                    break;
                case wkCharSet: {
                    const int32_t remaining = length_ - p;
                    if (element.Required && remaining < element.MinCount) {
                        result = kFail;
                        break;
                    }
                    bool accepted;
                    int32_t r;
                    if (element.MaxCount > 0) {
                        r = SetRun(element, p, remaining < element.MaxCount ? remaining : element.MaxCount);
                        // Stopping at MaxCount skips the minimum's test.
                        accepted = r == element.MaxCount || r >= element.MinCount;
                    } else {
                        r = SetRun(element, p, remaining);
                        accepted = !(element.Required && r == 0);
                    }
                    if (accepted) {
                        if (!call(f, Next(f.Element), p + r, kSetTookRun)) return kGiveUp;
                    } else if (!element.Required) {
                        if (!call(f, Next(f.Element), p, kPass)) return kGiveUp;
                    } else {
                        result = kFail;
                    }
                    break;
                }
                case wkGroup:
                    f.Probe = 0;
                    f.Stage = kGroupNext;
                    break;
                default:
                    result = kFail;
                    break;
                }
                break;
            case kPass:
                result = value;
                break;
            case kAnyCharTry:
                if (f.Probe < f.Limit) result = kFail;
                else if (!call(f, Next(f.Element), f.Probe, kAnyCharTried)) return kGiveUp;
                break;
            case kAnyCharTried:
                if (value != kFail) {
                    result = value;
                } else {
                    --f.Probe;
                    f.Stage = kAnyCharTry;
                }
                break;
            case kSetTookRun:
                // An optional set whose run failed matches nothing.
                if (value != kFail) result = value;
                else if (element.Required) result = kFail;
                else if (!call(f, Next(f.Element), p, kPass)) return kGiveUp;
                break;
            case kAnyRunTried:
                if (value != kFail) {
                    result = value;
                    break;
                }
                ++f.Probe;
                f.Stage = kAnyRunSearch;
                break;
            case kAnyRunSearch: {
                // The shortest length whose continuation succeeds.
                const int32_t next = Next(f.Element);
                if (next >= elements_) {
                    // The end of the list: the first end that can succeed.
                    const bool open = mask_.Lists[next - elements_].OpenEnd;
                    result = f.Probe > length_ ? kFail : open ? f.Probe : length_;
                    break;
                }
                // A literal that follows can only succeed where its first
                // byte stands and the text still holds all of it.
                const WildcardRec& follower = mask_.Elements[next];
                const bool literal = follower.Kind == wkLiteral && follower.MaxCount > 0;
                bool pushed = false;
                while (f.Probe <= length_) {
                    if (literal) {
                        const int32_t last = length_ - follower.MaxCount;
                        const void* hit = f.Probe <= last
                            ? std::memchr(text_ + f.Probe, mask_.LiteralOf(follower)[0],
                                          static_cast<size_t>(last - f.Probe + 1))
                            : nullptr;
                        // Long scans count against the budget, a step per
                        // 64 bytes, so that the budget bounds the time.
                        const int32_t found =
                            hit ? static_cast<int32_t>(static_cast<const unsigned char*>(hit) - text_) : length_;
                        steps_ -= (found - f.Probe) / 64;
                        if (!hit) {
                            f.Probe = length_ + 1;
                            break;
                        }
                        f.Probe = found;
                    }
                    int32_t known;
                    if (Known(next, f.Probe, known)) {
                        if (known != kFail) {
                            result = known;
                            break;
                        }
                        // Failures found without a frame count against the
                        // budget too, or nested any-runs over a long text
                        // would rescan it from every position unbudgeted.
                        if (--steps_ < 0) return kGiveUp;
                        ++f.Probe;
                        continue;
                    }
                    if (!call(f, next, f.Probe, kAnyRunTried)) return kGiveUp;
                    pushed = true;
                    break;
                }
                if (pushed) break;
                if (f.Probe > length_) result = kFail;
                break;
            }
            case kGroupNext:
                if (f.Probe >= element.AlternativeCount) {
                    result = kFail;
                    break;
                }
                // Each alternative is matched once, against the whole
                // remaining text; its first success fixes its length.
                if (!call(f, FirstOfList(element.Alternatives + f.Probe), p, kGroupMatched)) return kGiveUp;
                break;
            case kGroupMatched:
                if (value == kFail) {
                    ++f.Probe;
                    f.Stage = kGroupNext;
                } else if (!call(f, Next(f.Element), value, kGroupContinued)) {
                    return kGiveUp;
                }
                break;
            case kGroupContinued:
                if (value != kFail) {
                    result = value;
                } else {
                    ++f.Probe;
                    f.Stage = kGroupNext;
                }
                break;
            }
            if (result == kGiveUp) continue;  // the frame goes on or waits
            stack.pop_back();
            if (stack.empty()) return result;
            value = result;
        }
    }

private:
    int32_t Next(int32_t e) const noexcept {
        const WildcardRec& element = mask_.Elements[e];
        const aWildcard& list = mask_.Lists[element.List];
        return e + 1 < list.First + list.Count ? e + 1 : elements_ + element.List;
    }
    int32_t FirstOfList(int32_t list) const noexcept {
        const aWildcard& l = mask_.Lists[list];
        return l.Count ? l.First : elements_ + list;
    }
    bool LiteralAt(const WildcardRec& element, int32_t position) noexcept {
        if (length_ - position < element.MaxCount) return false;
        steps_ -= element.MaxCount / 64;  // a long comparison counts against the budget
        const char* literal = mask_.LiteralOf(element);
        if (element.MaxCount > 0 && text_[position] != static_cast<unsigned char>(literal[0])) return false;
        return std::memcmp(text_ + position, literal, static_cast<size_t>(element.MaxCount)) == 0;
    }

    // The outcome of a state where it is known without evaluation: the end
    // of a list, or a literal that does not stand here (at the end of the
    // text too, being Required).
    bool Known(int32_t state, int32_t position, int32_t& outcome) noexcept {
        if (state >= elements_) {
            const bool open = mask_.Lists[state - elements_].OpenEnd;
            outcome = open ? position : position == length_ ? length_ : kFail;
            return true;
        }
        const WildcardRec& element = mask_.Elements[state];
        if (element.Kind == wkLiteral && (position == length_ || !LiteralAt(element, position))) {
            outcome = kFail;
            return true;
        }
        return false;
    }

    // Members of a set from position on, at most limit of them.
    int32_t SetRun(const WildcardRec& set, int32_t position, int32_t limit) noexcept {
        const uint32_t* accept = mask_.SetOf(set).Members.Words;
        int32_t r = 0;
        while (r < limit) {
            const uint32_t c = text_[position + r];
            if (!((accept[c >> 5] >> (c & 31)) & 1u)) break;
            ++r;
        }
        steps_ -= r / 64;  // a long run counts against the budget
        return r;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    const int32_t elements_;
    int64_t steps_;
};

}  // namespace

MatchOutcome MatchByBacktracking(const CompiledMask& mask, std::string_view text, int64_t steps) noexcept {
    if (mask.Lists.empty()) return text.empty() ? MatchOutcome::Match : MatchOutcome::NoMatch;
    const int32_t end = Backtracker(mask, text, steps).Run();
    if (end == kGiveUp || end == kOutOfMemory) return MatchOutcome::TooComplex;
    return end >= 0 ? MatchOutcome::Match : MatchOutcome::NoMatch;
}

}  // namespace vantor
