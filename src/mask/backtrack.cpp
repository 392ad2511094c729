// The backtracking matcher: the matching discipline of the language, step
// by step, on an explicit stack, within a budget of steps. It settles
// ordinary masks at once; when its budget runs out, MatchWildcard hands the
// match to the position sets (bitsets.cpp), which pass a mask whose groups
// they cannot carry, or a text too long for their memory, on to the
// position tables (positions.cpp): both give the same outcome in bounded time.
#include "mask/compiled.h"

namespace vantor {

namespace {

constexpr int32_t kFail = -1;  // the outcome of a state that does not succeed

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

// What one step of the top frame did: it finished (its outcome in value_),
// or it waits (on a callee it pushed or whose outcome is already known, or
// to go on at another stage), or the budget ran out.
enum class Progress : uint8_t { Finished, Waiting, OutOfSteps };

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

    MatchOutcome Run() noexcept {
        const aWildcard& whole = mask_.Lists[0];
        const int32_t start = whole.Count ? whole.First : elements_;
        if (!Known(start, 0, value_)) {
            // Room for the deepest chain, reserved once: frames are then
            // never moved while a reference to the top one is held.
            if (!stack_.reserve(static_cast<int64_t>(elements_) + 1)) return MatchOutcome::TooComplex;
            (void)stack_.push_back(Frame{start, 0, kEnter, 0, 0});
            for (;;) {
                const Progress progress = Step(stack_.back());
                if (progress == Progress::Waiting) continue;
                if (progress == Progress::OutOfSteps) return MatchOutcome::TooComplex;
                stack_.pop_back();
                if (stack_.empty()) break;
            }
        }
        return value_ >= 0 ? MatchOutcome::Match : MatchOutcome::NoMatch;
    }

private:
    Progress Finish(int32_t outcome) noexcept {
        value_ = outcome;
        return Progress::Finished;
    }

    // Continues frame f with state at position, resuming at `resume`:
    // either the outcome is known at once (value_ is set), or a frame is
    // pushed.
    Progress Call(Frame& f, int32_t state, int32_t position, int32_t resume) noexcept {
        f.Stage = resume;
        if (Known(state, position, value_)) return Progress::Waiting;
        if (--steps_ < 0) return Progress::OutOfSteps;
        (void)stack_.push_back(Frame{state, position, kEnter, 0, 0});  // room reserved
        return Progress::Waiting;
    }

    // One step of frame f, by the stage it is at; value_ holds the outcome
    // of the continuation it waited on.
    Progress Step(Frame& f) noexcept {
        switch (f.Stage) {
        case kEnter:
            return Enter(f);
        case kPass:
            return Progress::Finished;
        case kAnyCharTry:
            if (f.Probe < f.Limit) return Finish(kFail);
            return Call(f, Next(f.Element), f.Probe, kAnyCharTried);
        case kAnyCharTried:
            if (value_ != kFail) return Progress::Finished;
            --f.Probe;
            f.Stage = kAnyCharTry;
            return Progress::Waiting;
        case kSetTookRun:
            // An optional set whose run failed matches nothing.
            if (value_ != kFail) return Progress::Finished;
            if (mask_.Elements[f.Element].Required) return Finish(kFail);
            return Call(f, Next(f.Element), f.Position, kPass);
        case kAnyRunSearch:
            return SearchAnyRun(f);
        case kAnyRunTried:
            if (value_ != kFail) return Progress::Finished;
            ++f.Probe;
            f.Stage = kAnyRunSearch;
            return Progress::Waiting;
        case kGroupNext:
            if (f.Probe >= mask_.Elements[f.Element].AlternativeCount) return Finish(kFail);
            // Each alternative is matched once, against the whole remaining
            // text; its first success fixes its length.
            return Call(f, FirstOfList(mask_.Elements[f.Element].Alternatives + f.Probe), f.Position,
                        kGroupMatched);
        case kGroupMatched:
            if (value_ != kFail) return Call(f, Next(f.Element), value_, kGroupContinued);
            ++f.Probe;
            f.Stage = kGroupNext;
            return Progress::Waiting;
        case kGroupContinued:
            if (value_ != kFail) return Progress::Finished;
            ++f.Probe;
            f.Stage = kGroupNext;
            return Progress::Waiting;
        default:
            return Finish(kFail);
        }
    }

    // The first step of an element at its position.
    Progress Enter(Frame& f) noexcept {
        const WildcardRec& element = mask_.Elements[f.Element];
        const int32_t p = f.Position;
        if (p == length_) {
            // Where no text is left, a Required element fails and any other
            // is skipped, whatever its kind.
            if (element.Required) return Finish(kFail);
            return Call(f, Next(f.Element), p, kPass);
        }
        switch (element.Kind) {
        case wkLiteral:
            if (!LiteralAt(element, p)) return Finish(kFail);
            return Call(f, Next(f.Element), p + element.MaxCount, kPass);
        case wkAnyChar: {
            // Longest first: the order in which the single elements first
            // reach each length.
            const int32_t remaining = length_ - p;
            if (remaining < element.MinCount) return Finish(kFail);
            f.Probe = p + (remaining < element.MaxCount ? remaining : element.MaxCount);
            f.Limit = p + element.MinCount;
            f.Stage = kAnyCharTry;
            return Progress::Waiting;
        }
        case wkAnyRun:
            f.Probe = p + element.MinCount;
            f.Stage = kAnyRunSearch;
            return Progress::Waiting;
        case wkCharSet: {
            const PossessiveRun run(element);
            const int32_t remaining = length_ - p;
            const int32_t taken = run.Taken(Members(element, p, run.ScanLimit(remaining)), remaining);
            if (taken > 0) return Call(f, Next(f.Element), p + taken, kSetTookRun);
            if (taken == 0 || !element.Required) return Call(f, Next(f.Element), p, kPass);
            return Finish(kFail);
        }
        case wkGroup:
            f.Probe = 0;
            f.Stage = kGroupNext;
            return Progress::Waiting;
        default:
            return Finish(kFail);
        }
    }

    // An any-run: the shortest length, from Probe on, whose continuation
    // succeeds.
    Progress SearchAnyRun(Frame& f) noexcept {
        const int32_t next = Next(f.Element);
        if (next >= elements_) {
            // The end of the list: the first end that can succeed.
            const bool open = mask_.Lists[next - elements_].OpenEnd;
            return Finish(f.Probe > length_ ? kFail : open ? f.Probe : length_);
        }
        // A literal that follows can only succeed where its first byte
        // stands and the text still holds all of it.
        const WildcardRec& follower = mask_.Elements[next];
        const bool literal = follower.Kind == wkLiteral && follower.MaxCount > 0;
        while (f.Probe <= length_) {
            if (literal) {
                const int32_t last = length_ - follower.MaxCount;
                const void* hit = f.Probe <= last ? std::memchr(text_ + f.Probe, mask_.LiteralOf(follower)[0],
                                                               static_cast<size_t>(last - f.Probe + 1))
                                                  : nullptr;
                // Long scans count against the budget, a step per 64 bytes,
                // so that the budget bounds the time.
                const int32_t found =
                    hit ? static_cast<int32_t>(static_cast<const unsigned char*>(hit) - text_) : length_;
                steps_ -= (found - f.Probe) / 64;
                if (!hit) break;
                f.Probe = found;
            }
            int32_t known;
            if (!Known(next, f.Probe, known)) return Call(f, next, f.Probe, kAnyRunTried);
            if (known != kFail) return Finish(known);
            // Failures found without a frame count against the budget too,
            // or nested any-runs over a long text would rescan it from every
            // position unbudgeted.
            if (--steps_ < 0) return Progress::OutOfSteps;
            ++f.Probe;
        }
        return Finish(kFail);
    }

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
    int32_t Members(const WildcardRec& set, int32_t position, int32_t limit) noexcept {
        const CharBits& members = mask_.SetOf(set).Members;
        int32_t r = 0;
        while (r < limit && members.Has(text_[position + r])) ++r;
        // A step per 8 members: this scan tests each byte on its own, about
        // the cost of a frame for 8 of them, so that the budget bounds the
        // time (memchr and memcmp go a word at a time: 64 bytes a step).
        steps_ -= r / 8;
        return r;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    const int32_t elements_;
    int64_t steps_;
    SmallVec<Frame, 32> stack_;
    int32_t value_ = kFail;  // the outcome a finished callee hands back
};

}  // namespace

MatchOutcome MatchByBacktracking(const CompiledMask& mask, std::string_view text, int64_t steps) noexcept {
    if (mask.Lists.empty()) return text.empty() ? MatchOutcome::Match : MatchOutcome::NoMatch;
    return Backtracker(mask, text, steps).Run();
}

}  // namespace vantor
