// The wildcard mask engine and the Match entry point.
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
// The bound. Compiling is linear in the mask: bodies are split with closer
// positions found in one pass, never rescanned per nesting level, and no
// compiler or matcher step recurses on the C stack. The matcher is a small
// machine with an explicit stack, at most one frame per element. The
// outcome of an element at a text position (failure, or where its list's
// match ends) is a pure function of the two, so after a short budget of
// plain backtracking the matcher memoises it for the rest of the call, with
// skip pointers over failed positions for any-runs and run ends for sets:
// time and memory are then O(elements x text length), capped at kMemoBytes
// of tables. Nothing outlives a call. Running out of memory (or over the
// cap) gives the result 0.
#include "mask/mask.h"

#include "frame/udf.h"

namespace vantor {

namespace {

bool IsSpecial(unsigned char c) noexcept {
    return c == '#' || c == '%' || c == '*' || c == '?' || c == '[' || c == '_' || c == '{';
}

int HexDigit(unsigned char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The second escape pass over piece[0, length). Writes at most capacity
// bytes to out and returns the full decoded length (never above length).
int32_t DecodeEscapesTo(const char* piece, int32_t length, char* out, int32_t capacity) noexcept {
    int32_t written = 0;
    bool escaped = false;
    for (int32_t i = 0; i < length; ++i) {
        const char c = piece[i];
        if (!escaped && c == '\\') {
            escaped = true;
            continue;
        }
        char emit = c;
        if (escaped && c == '$') {
            const int32_t window = length - i < 3 ? length - i : 3;
            const int32_t code = ReadNumber(std::string_view(piece + i, static_cast<size_t>(window)), -1);
            if (code >= 0) {
                emit = static_cast<char>(code);
                i += 2;
            }
        }
        if (written < capacity) out[written] = emit;
        ++written;
        escaped = false;
    }
    return written;
}

// Walks the items of a body as NthItem splits it, calling visit(begin, end)
// for each item in order (empty ones included) until visit returns false.
// The closers of open "[" and "{" levels go on an explicit stack, which
// grows as deep as the body nests. False when memory runs out.
template <typename Visit>
bool ForEachItem(const char* body, int32_t length, Visit visit) noexcept {
    SmallVec<char, 64> closers;
    int32_t begin = 0;
    for (int32_t i = 0; i < length; ++i) {
        const char c = body[i];
        if (c == '[' || c == '{') {
            if (!closers.push_back(c == '[' ? ']' : '}')) return false;
        } else if (!closers.empty() && c == closers.back()) {
            closers.pop_back();
        } else if (closers.empty() && c == ';') {
            if (!visit(begin, i)) return true;
            begin = i + 1;
        }
    }
    visit(begin, length);
    return true;
}

// Where the structure of an encoded mask closes, found in one pass so that
// no body is rescanned for each level of nesting around it. For a "{" at i,
// BraceClose[i] is the "}" that brings the count of braces back to its level
// (the group's end, as the compiler reads groups); for a "[" or "{" at i,
// ItemClose[i] is the position that pops it from a stack of expected
// closers (the end of the level, as items are split). -1 when never closed.
struct Closers {
    SmallVec<int32_t, 64> BraceClose;
    SmallVec<int32_t, 64> ItemClose;
};

bool FindClosers(const char* text, int32_t length, Closers& closers) noexcept {
    SmallVec<int32_t, 32> braces, levels;
    if (!closers.BraceClose.resize(length) || !closers.ItemClose.resize(length) || !braces.reserve(length) ||
        !levels.reserve(length))
        return false;
    for (int32_t i = 0; i < length; ++i) {
        const char c = text[i];
        closers.BraceClose[i] = -1;
        closers.ItemClose[i] = -1;
        if (c == '{') {
            (void)braces.push_back(i);  // room reserved
        } else if (c == '}' && !braces.empty()) {
            closers.BraceClose[braces.back()] = i;
            braces.pop_back();
        }
        if (c == '[' || c == '{') {
            (void)levels.push_back(i);  // room reserved
        } else if (!levels.empty() && c == (text[levels.back()] == '[' ? ']' : '}')) {
            closers.ItemClose[levels.back()] = i;
            levels.pop_back();
        }
    }
    return true;
}

// A group whose alternatives are still to be compiled: its body is
// encoded[BodyBegin, BodyEnd).
struct PendingGroup {
    int32_t Element;
    int32_t BodyBegin;
    int32_t BodyEnd;
};

// Compiles encoded[begin, end) into list `list`, which must be the last
// list and empty. Groups get their element here and are queued; their
// alternatives are compiled later from the queue, so this never recurses.
// False when memory runs out.
bool CompileList(CompiledMask& mask, int32_t list, const char* encoded, int32_t begin, int32_t end,
                 const Closers& closers, SmallVec<PendingGroup, 8>& pending) {
    mask.Lists[list].First = mask.Elements.size();
    mask.Lists[list].Count = 0;
    int32_t start = begin;  // start of the literal run being read
    for (int32_t i = begin;; ++i) {
        if (i < end && !IsSpecial(static_cast<unsigned char>(encoded[i]))) continue;
        if (i > start) {
            // The raw run is tested, so a run that decodes to nothing (a
            // trailing backslash) still gives an element.
            const int32_t e = AddElement(mask, list);
            const int32_t offset = mask.LiteralPool.size();
            if (e < 0 || !mask.LiteralPool.reserve(static_cast<int64_t>(offset) + (i - start))) return false;
            const int32_t length =
                DecodeEscapesTo(encoded + start, i - start, mask.LiteralPool.data() + offset, i - start);
            (void)mask.LiteralPool.resize(static_cast<int64_t>(offset) + length);  // room reserved
            WildcardRec& literal = mask.Elements[e];
            literal.Kind = wkLiteral;
            literal.Required = true;
            literal.MaxCount = length;
            literal.Literal = offset;
        }
        if (i >= end) return true;
        const char c = encoded[i];
        start = i + 1;
        if (c == '[') {
            const void* close = std::memchr(encoded + i + 1, ']', static_cast<size_t>(end - i - 1));
            if (!close) return true;  // an unclosed set drops the rest
            const int32_t j = static_cast<int32_t>(static_cast<const char*>(close) - encoded);
            if (!ParseCharSet(mask, list, std::string_view(encoded + i + 1, static_cast<size_t>(j - i - 1))))
                return false;
            i = j;
            start = j + 1;
            continue;
        }
        if (c == '{') {
            const int32_t j = closers.BraceClose[i];
            if (j < 0 || j >= end) return true;  // an unclosed group drops the rest
            const int32_t e = AddElement(mask, list);
            if (e < 0 || !pending.push_back(PendingGroup{e, i + 1, j})) return false;
            mask.Elements[e].Kind = wkGroup;
            mask.Elements[e].Required = true;
            i = j;
            start = j + 1;
            continue;
        }
        const int32_t e = AddElement(mask, list);
        if (e < 0) return false;
        WildcardRec& element = mask.Elements[e];
        switch (c) {
        case '?': element.Kind = wkAnyChar; element.Required = true; break;
        case '_': element.Kind = wkAnyChar; element.Required = false; break;
        case '%': element.Kind = wkAnyRun; element.Required = true; break;
        case '*': element.Kind = wkAnyRun; element.Required = false; break;
        default:  // '#'
            element.Kind = wkCharSet;
            element.Required = true;
            element.MaxCount = 1;
            element.MinCount = 1;
            for (unsigned char d = '0'; d <= '9'; ++d) element.Chars.Add(d);
            break;
        }
    }
}

// Compiles the alternatives of a queued group, each into a new list. False
// when memory runs out.
bool CompileAlternatives(CompiledMask& mask, const PendingGroup& group, const char* encoded,
                         const Closers& closers, SmallVec<PendingGroup, 8>& pending) {
    const aWildcard& parent = mask.Lists[mask.Elements[group.Element].List];
    const bool open = group.Element != parent.First + parent.Count - 1 || parent.OpenEnd;
    const int32_t first = mask.Lists.size();
    int32_t count = 0;
    bool ok = true;
    auto compile = [&](int32_t begin, int32_t end) noexcept {
        if (begin == end) return false;  // the alternatives stop at an empty one
        ok = mask.Lists.push_back(aWildcard{0, 0, open}) &&
             CompileList(mask, mask.Lists.size() - 1, encoded, begin, end, closers, pending);
        ++count;
        return ok;
    };
    // Split at ";" outside nested levels, jumping over each level whole.
    int32_t begin = group.BodyBegin;
    bool more = true;
    for (int32_t i = group.BodyBegin; i < group.BodyEnd && more; ++i) {
        const char c = encoded[i];
        if (c == '[' || c == '{') {
            const int32_t j = closers.ItemClose[i];
            if (j < 0 || j >= group.BodyEnd) {
                i = group.BodyEnd;  // the level lasts to the end of the body
                break;
            }
            i = j;
        } else if (c == ';') {
            more = compile(begin, i);
            begin = i + 1;
        }
    }
    if (more) compile(begin, group.BodyEnd);
    mask.Elements[group.Element].Alternatives = first;
    mask.Elements[group.Element].AlternativeCount = count;
    return ok;
}

}  // namespace

int32_t ReadNumber(std::string_view text, int32_t fallback) noexcept {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) return fallback;
    const uint64_t base = hex ? 16 : 10;
    const uint64_t limit = hex ? 0xFFFFFFFFull : 2147483648ull;
    uint64_t value = 0;
    for (; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return fallback;
        value = value * base + static_cast<uint64_t>(digit);
        if (value > limit) return fallback;
    }
    if (hex) {
        // A 32-bit pattern, negated as such.
        const uint32_t bits = static_cast<uint32_t>(value);
        return static_cast<int32_t>(negative ? 0u - bits : bits);
    }
    if (negative) return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
    if (value > 2147483647ull) return fallback;
    return static_cast<int32_t>(value);
}

int32_t EncodeEscapes(std::string_view mask, char* out) noexcept {
    int32_t length = 0;
    bool escaped = false;
    for (const char ch : mask) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (!escaped && c == '\\') {
            out[length++] = '\\';
            escaped = true;
        } else if (escaped) {
            if (c == '$') {
                out[length++] = '$';
            } else {
                const unsigned char code = c == 's' ? 0x20 : c == 't' ? 0x09 : c;
                out[length++] = '$';
                out[length++] = kHexDigits[code >> 4];
                out[length++] = kHexDigits[code & 15];
            }
            escaped = false;
        } else {
            out[length++] = ch;
        }
    }
    return length;
}

int32_t DecodeEscapes(std::string_view piece, char* out) noexcept {
    const int32_t n = static_cast<int32_t>(piece.size());
    return DecodeEscapesTo(piece.data(), n, out, n);
}

std::string_view NthItem(std::string_view body, int32_t n) noexcept {
    std::string_view item;
    int32_t counter = 0;
    ForEachItem(body.data(), static_cast<int32_t>(body.size()), [&](int32_t begin, int32_t end) noexcept {
        if (++counter != n) return true;
        item = std::string_view(body.data() + begin, static_cast<size_t>(end - begin));
        return false;
    });
    return item;
}

// Kept as plain stores: a string instruction to clear two sets costs more
// than the rest of compiling a typical mask.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif
int32_t AddElement(CompiledMask& mask, int32_t list) noexcept {
    const int32_t e = mask.Elements.size();
    if (!mask.Elements.resize(static_cast<int64_t>(e) + 1)) return -1;
    // Field by field, in place, with no whole-record copy.
    WildcardRec& element = mask.Elements[e];
    element.Kind = wkLiteral;
    for (int w = 0; w < 8; ++w) element.Chars.Words[w] = element.ExcludedChars.Words[w] = 0;
    element.MaxCount = 0;
    element.MinCount = 0;
    element.Required = false;
    element.Literal = 0;
    element.Alternatives = 0;
    element.AlternativeCount = 0;
    element.List = list;
    ++mask.Lists[list].Count;
    return e;
}

bool ParseCharSet(CompiledMask& mask, int32_t list, std::string_view body) noexcept {
    if (body.empty()) return true;
    const int32_t e = AddElement(mask, list);
    if (e < 0) return false;
    WildcardRec& set = mask.Elements[e];
    set.Kind = wkCharSet;
    set.Required = true;
    set.MaxCount = 1;
    set.MinCount = 1;
    std::string_view items = body;
    const size_t colon = body.find(':');
    if (colon != std::string_view::npos) {
        // The count prefix, read as written: escapes in it are not decoded.
        const std::string_view prefix(body.data(), colon);
        items = std::string_view(body.data() + colon + 1, body.size() - colon - 1);
        if (prefix.empty()) {
            set.MaxCount = 1;
            set.MinCount = 0;
            set.Required = false;
        } else if (prefix[0] == '%' || prefix[0] == '*') {
            set.MaxCount = -1;
            set.MinCount = -1;
            set.Required = prefix[0] == '%';
        } else {
            const size_t dash = prefix.find('-');
            if (dash != std::string_view::npos) {
                set.MinCount = ReadNumber(std::string_view(prefix.data(), dash), 1);
                set.MaxCount = ReadNumber(std::string_view(prefix.data() + dash + 1, prefix.size() - dash - 1), 1);
            } else {
                set.MinCount = set.MaxCount = ReadNumber(prefix, 1);
            }
            set.Required = set.MinCount > 0;
        }
    }
    return ForEachItem(items.data(), static_cast<int32_t>(items.size()), [&](int32_t begin, int32_t end) noexcept {
        if (begin == end) return false;  // the list stops at an empty item
        const bool negated = items[static_cast<size_t>(begin)] == '!';
        if (negated) ++begin;
        CharBits& target = negated ? set.ExcludedChars : set.Chars;
        char decoded[2] = {0, 0};
        const int32_t length = DecodeEscapesTo(items.data() + begin, end - begin, decoded, 2);
        const unsigned char first = static_cast<unsigned char>(decoded[0]);
        const unsigned char last = static_cast<unsigned char>(decoded[1]);
        if (length == 1) target.Add(first);
        if (length == 2 && first < last)
            for (int c = first; c <= last; ++c) target.Add(static_cast<unsigned char>(c));
        return length != 0;  // a lone "!" also ends the list
    });
}

bool CompileMask(CompiledMask& mask, std::string_view encoded) noexcept {
    FreeWildcard(mask);
    if (encoded.size() > static_cast<size_t>(INT32_MAX / 4)) return false;
    const char* text = encoded.data();
    const int32_t length = static_cast<int32_t>(encoded.size());
    Closers closers;
    // Without a "{" there is no group body to split, and set bodies are read
    // once each, so the closer positions are needed only with groups.
    if (length > 0 && std::memchr(text, '{', encoded.size()) && !FindClosers(text, length, closers)) return false;
    SmallVec<PendingGroup, 8> pending;
    if (!mask.Lists.push_back(aWildcard{0, 0, false}) || !CompileList(mask, 0, text, 0, length, closers, pending))
        return false;
    for (int32_t g = 0; g < pending.size(); ++g) {
        const PendingGroup group = pending[g];
        if (!CompileAlternatives(mask, group, text, closers, pending)) return false;
    }
    return true;
}

void FreeWildcard(CompiledMask& mask) noexcept {
    mask.Elements.Release();
    mask.Lists.Release();
    mask.LiteralPool.Release();
}

namespace {

// The most memory the memo tables of one call may take.
constexpr int64_t kMemoBytes = int64_t{128} << 20;
// A set run longer than this is measured once, for the whole text.
constexpr int32_t kShortRun = 32;
constexpr int32_t kFail = -1;

// Where a frame resumes after the value of a continuation comes back.
enum Stage : int32_t {
    kEnter,
    kPass,             // the element's value is that of the continuation
    kAnyCharTookOne,   // after trying one character
    kAnyRunSearch,     // looking for the shortest length that leads on
    kAnyRunTried,      // after trying the length in Probe
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
    int32_t Probe;  // any-run: the length end being tried; group: the alternative
    int32_t From;   // any-run: the first end it tried
};

// A table of lazily allocated rows of equal width, zero meaning
// "not known yet".
class Rows {
public:
    ~Rows() {
        if (!rows_) return;
        for (int32_t i = 0; i < count_; ++i) std::free(rows_[i]);
        std::free(rows_);
    }
    // False when memory runs out or the budget would be exceeded.
    bool Init(int32_t count, int32_t width, int64_t& budget) noexcept {
        if (!Charge(static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(int32_t*)), budget)) return false;
        rows_ = static_cast<int32_t**>(std::calloc(static_cast<size_t>(count), sizeof(int32_t*)));
        count_ = rows_ ? count : 0;
        width_ = width;
        return rows_ != nullptr;
    }
    bool Ready() const noexcept { return rows_ != nullptr; }
    int32_t* Find(int32_t row) const noexcept { return rows_[row]; }
    // The row, allocated on first use; null when memory runs out.
    int32_t* Get(int32_t row, int64_t& budget) noexcept {
        if (!rows_[row] && Charge(static_cast<int64_t>(width_) * static_cast<int64_t>(sizeof(int32_t)), budget))
            rows_[row] = static_cast<int32_t*>(std::calloc(static_cast<size_t>(width_), sizeof(int32_t)));
        return rows_[row];
    }

private:
    static bool Charge(int64_t bytes, int64_t& budget) noexcept {
        budget -= bytes;
        return budget >= 0;
    }
    int32_t** rows_ = nullptr;
    int32_t count_ = 0;
    int32_t width_ = 0;
};

// Evaluates elements over one text. A state is an element index, or
// Elements.size() + k for the end of list k. Every call from a frame goes to
// a higher element index (the next element of its list, or the first of an
// alternative, which was compiled after its group), so the stack never holds
// more frames than there are elements.
class Matcher {
public:
    Matcher(const CompiledMask& mask, std::string_view text) noexcept
        : mask_(mask),
          text_(reinterpret_cast<const unsigned char*>(text.data())),
          length_(static_cast<int32_t>(text.size())),
          elements_(mask.Elements.size()) {}

    bool Matches() noexcept {
        const aWildcard& whole = mask_.Lists[0];
        const int32_t start = whole.Count ? whole.First : elements_;
        // Plain backtracking first: it settles every ordinary mask within a
        // budget linear in the input. Past the budget, start over with the
        // memo, which yields the same outcomes in polynomial time.
        steps_ = 256 + 8 * (static_cast<int64_t>(elements_) + length_);
        int32_t end = Run(start);
        if (end == kGiveUp) {
            memoBudget_ = kMemoBytes;
            if (!outcomes_.Init(length_ + 1, elements_, memoBudget_) ||
                !skips_.Init(elements_, length_ + 1, memoBudget_) ||
                !runEnds_.Init(elements_, length_ + 1, memoBudget_))
                return false;
            end = Run(start);
        }
        return end >= 0;  // neither failure nor out of memory
    }

private:
    static constexpr int32_t kGiveUp = -2;
    static constexpr int32_t kOutOfMemory = -3;

    int32_t Next(int32_t e) const noexcept {
        const WildcardRec& element = mask_.Elements[e];
        const aWildcard& list = mask_.Lists[element.List];
        return e + 1 < list.First + list.Count ? e + 1 : elements_ + element.List;
    }
    int32_t FirstOfList(int32_t list) const noexcept {
        const aWildcard& l = mask_.Lists[list];
        return l.Count ? l.First : elements_ + list;
    }
    bool Memo() const noexcept { return outcomes_.Ready(); }

    // The outcome of a state where it is known without evaluation: the end
    // of a list, or a memoised element.
    bool Known(int32_t state, int32_t position, int32_t& outcome) const noexcept {
        if (state >= elements_) {
            const bool open = mask_.Lists[state - elements_].OpenEnd;
            outcome = open ? position : position == length_ ? length_ : kFail;
            return true;
        }
        // A literal that does not stand here fails without a frame (at the
        // end of the text too, being Required).
        const WildcardRec& element = mask_.Elements[state];
        if (element.Kind == wkLiteral &&
            (length_ - position < element.MaxCount || position == length_ ||
             std::memcmp(text_ + position, mask_.LiteralOf(element), static_cast<size_t>(element.MaxCount)) != 0)) {
            outcome = kFail;
            return true;
        }
        if (!Memo()) return false;
        const int32_t* row = outcomes_.Find(position);
        if (!row || row[state] == 0) return false;
        outcome = row[state] - 2;
        return true;
    }

    // Members of a set from position on, at most limit of them.
    int32_t SetRun(int32_t e, int32_t position, int32_t limit) noexcept {
        const WildcardRec& set = mask_.Elements[e];
        // An empty Chars accepts every character that is not refused.
        const bool anyAccepted = set.Chars.Empty();
        uint32_t accept[8];
        for (int w = 0; w < 8; ++w)
            accept[w] = (anyAccepted ? ~0u : set.Chars.Words[w]) & ~set.ExcludedChars.Words[w];
        auto member = [&accept](uint32_t c) noexcept { return (accept[c >> 5] >> (c & 31)) & 1u; };
        if (Memo()) {
            if (const int32_t* ends = runEnds_.Find(e)) {
                const int32_t r = ends[position] - 1 - position;
                return r < limit ? r : limit;
            }
        }
        int32_t r = 0;
        while (r < limit && (r < kShortRun || !Memo()) && member(text_[position + r])) ++r;
        steps_ -= r / 16;
        int32_t* ends = r < limit && r == kShortRun && Memo() ? runEnds_.Get(e, memoBudget_) : nullptr;
        if (ends) {
            // A long run: measure every run of this set once.
            ends[length_] = length_ + 1;
            for (int32_t q = length_ - 1; q >= 0; --q) ends[q] = member(text_[q]) ? ends[q + 1] : q + 1;
            r = ends[position] - 1 - position;
            if (r > limit) r = limit;
        } else {
            // Plain backtracking, or no memory for the table: scan on.
            while (r < limit && member(text_[position + r])) ++r;
        }
        return r;
    }

    int32_t Run(int32_t start) noexcept {
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
        // pushed. Returns false when the budget of plain backtracking runs out.
        auto call = [&](Frame& f, int32_t state, int32_t position, int32_t resume) noexcept {
            f.Stage = resume;
            if (Known(state, position, value)) return true;
            if (!Memo() && --steps_ < 0) return false;
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
                    if (length_ - p < element.MaxCount ||
                        std::memcmp(text_ + p, mask_.LiteralOf(element), static_cast<size_t>(element.MaxCount)) != 0)
                        result = kFail;
                    else if (!call(f, Next(f.Element), p + element.MaxCount, kPass)) return kGiveUp;
                    break;
                case wkAnyChar:
                    if (!call(f, Next(f.Element), p + 1, kAnyCharTookOne)) return kGiveUp;
                    break;
                case wkAnyRun:
                    f.From = f.Probe = p + (element.Required ? 1 : 0);
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
                        r = SetRun(f.Element, p, remaining < element.MaxCount ? remaining : element.MaxCount);
                        // Stopping at MaxCount skips the minimum's test.
                        accepted = r == element.MaxCount || r >= element.MinCount;
                    } else {
                        r = SetRun(f.Element, p, remaining);
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
            case kAnyCharTookOne:
            case kSetTookRun:
                // An optional element whose one try failed matches nothing.
                if (value != kFail) result = value;
                else if (element.Required) result = kFail;
                else if (!call(f, Next(f.Element), p, kPass)) return kGiveUp;
                break;
            case kAnyRunTried:
                if (value != kFail) {
                    result = value;
                    if (!CompressSkips(f, f.Probe)) return kOutOfMemory;
                    break;
                }
                ++f.Probe;
                f.Stage = kAnyRunSearch;
                break;
            case kAnyRunSearch: {
                // The shortest length whose continuation succeeds: each end
                // is tried in increasing order, with memoised runs of known
                // failures jumped over whole.
                const int32_t next = Next(f.Element);
                if (next >= elements_) {
                    // The end of the list: the first end that can succeed.
                    const bool open = mask_.Lists[next - elements_].OpenEnd;
                    result = f.Probe > length_ ? kFail : open ? f.Probe : length_;
                    break;
                }
                int32_t* skip = nullptr;
                if (Memo() && !(skip = skips_.Get(next, memoBudget_))) return kOutOfMemory;
                // A literal that follows can only succeed where its first
                // byte stands and the text still holds all of it.
                const WildcardRec& follower = mask_.Elements[next];
                const bool literal = follower.Kind == wkLiteral && follower.MaxCount > 0;
                bool pushed = false;
                while (f.Probe <= length_) {
                    if (skip && skip[f.Probe] - 1 > f.Probe) {
                        f.Probe = skip[f.Probe] - 1;
                        continue;
                    }
                    if (literal) {
                        const int32_t last = length_ - follower.MaxCount;
                        const void* hit = f.Probe <= last
                            ? std::memchr(text_ + f.Probe, mask_.LiteralOf(follower)[0],
                                          static_cast<size_t>(last - f.Probe + 1))
                            : nullptr;
                        if (!hit) {
                            f.Probe = length_ + 1;
                            break;
                        }
                        f.Probe = static_cast<int32_t>(static_cast<const unsigned char*>(hit) - text_);
                    }
                    int32_t known;
                    if (Known(next, f.Probe, known)) {
                        if (known != kFail) {
                            result = known;
                            break;
                        }
                        // Failures found without a frame count against the
                        // budget too: otherwise nested any-runs over a long
                        // text rescan it from every position ("*a*ab" over
                        // a run of "a": quadratic) without ever reaching
                        // the memo.
                        if (!Memo() && --steps_ < 0) return kGiveUp;
                        ++f.Probe;
                        continue;
                    }
                    if (!call(f, next, f.Probe, kAnyRunTried)) return kGiveUp;
                    pushed = true;
                    break;
                }
                if (pushed) break;
                if (f.Probe > length_) result = kFail;
                if (!CompressSkips(f, f.Probe)) return kOutOfMemory;
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
            if (Memo()) {
                int32_t* row = outcomes_.Get(p, memoBudget_);
                if (!row) return kOutOfMemory;
                row[f.Element] = result + 2;
            }
            stack.pop_back();
            if (stack.empty()) return result;
            value = result;
        }
    }

    // After an any-run's search from f.From ended at `found` (the first end
    // that succeeds, or beyond the text), every end it passed leads to
    // `found`: record that, so later searches jump straight there.
    bool CompressSkips(const Frame& f, int32_t found) noexcept {
        if (!Memo()) return true;
        const int32_t next = Next(f.Element);
        if (next >= elements_) return true;
        int32_t* skip = skips_.Get(next, memoBudget_);
        if (!skip) return false;
        for (int32_t x = f.From; x < found && x <= length_;) {
            const int32_t jump = skip[x] - 1;
            skip[x] = found + 1;
            x = jump > x ? jump : x + 1;
        }
        return true;
    }

    const CompiledMask& mask_;
    const unsigned char* text_;
    const int32_t length_;
    const int32_t elements_;
    int64_t steps_ = 0;
    int64_t memoBudget_ = 0;
    // Outcome + 2 of (element, position), a row per position: evaluation
    // moves along the text, and many elements meet at one position.
    Rows outcomes_;
    Rows skips_;     // for an element after an any-run: first success >= here is >= value - 1
    Rows runEnds_;   // for a set: 1 + the end of the run of members from here
};

}  // namespace

bool MatchWildcard(const CompiledMask& mask, std::string_view text) noexcept {
    if (text.size() > static_cast<size_t>(INT32_MAX - 2)) return false;
    if (mask.Lists.empty()) return text.empty();
    return Matcher(mask, text).Matches();
}

bool MatchMask(std::string_view text, std::string_view mask) noexcept {
    // Without a backslash the first escape pass copies the mask unchanged.
    SmallVec<char, 256> encoded;
    std::string_view source = mask;
    if (!mask.empty() && std::memchr(mask.data(), '\\', mask.size())) {
        if (mask.size() > static_cast<size_t>(INT32_MAX / 4) ||
            !encoded.reserve(static_cast<int64_t>(mask.size()) * 3))
            return false;
        const int32_t length = EncodeEscapes(mask, encoded.data());
        source = std::string_view(encoded.data(), static_cast<size_t>(length));
    }
    CompiledMask compiled;
    const bool matched = CompileMask(compiled, source) && MatchWildcard(compiled, text);
    FreeWildcard(compiled);
    return matched;
}

}  // namespace vantor
