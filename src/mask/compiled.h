// The inside of the mask engine: the compiled form of a mask and the
// operations that build, read and free it. The compiler and the matchers
// share this header, and the unit tests read compiled masks through it; the
// rest of the library uses mask.h alone.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "mask/mask.h"

namespace vantor {

// A growable array of plain values whose first N entries live inside the
// object, so that a small mask compiles and matches on the caller's stack
// without touching the heap. Growth reports failure (out of memory) by
// returning false and leaves the array as it was; the library uses no
// exceptions.
template <typename T, int32_t N>
class SmallVec {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only");

public:
    SmallVec() = default;
    SmallVec(const SmallVec&) = delete;
    SmallVec& operator=(const SmallVec&) = delete;
    ~SmallVec() { Release(); }

    int32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    T& operator[](int32_t i) noexcept { return data_[i]; }
    const T& operator[](int32_t i) const noexcept { return data_[i]; }
    T& back() noexcept { return data_[size_ - 1]; }
    void pop_back() noexcept { --size_; }
    void clear() noexcept { size_ = 0; }

    // Makes room for n entries in all.
    [[nodiscard]] bool reserve(int64_t n) noexcept {
        if (n <= capacity_) return true;
        int64_t grown = 2 * static_cast<int64_t>(capacity_);
        if (grown < n) grown = n;
        const int64_t limit = INT32_MAX / static_cast<int64_t>(sizeof(T));
        if (n > limit) return false;
        if (grown > limit) grown = limit;
        T* fresh = static_cast<T*>(std::malloc(static_cast<size_t>(grown) * sizeof(T)));
        if (!fresh) return false;
        if (size_) std::memcpy(static_cast<void*>(fresh), data_, static_cast<size_t>(size_) * sizeof(T));
        if (data_ != inline_) std::free(data_);
        data_ = fresh;
        capacity_ = static_cast<int32_t>(grown);
        return true;
    }
    [[nodiscard]] bool push_back(const T& value) noexcept {
        if (size_ == capacity_ && !reserve(static_cast<int64_t>(size_) + 1)) return false;
        data_[size_++] = value;
        return true;
    }
    // Grows or shrinks to n entries; new entries are left unset.
    [[nodiscard]] bool resize(int64_t n) noexcept {
        if (!reserve(n)) return false;
        size_ = static_cast<int32_t>(n);
        return true;
    }
    // Frees any heap block and leaves the array empty.
    void Release() noexcept {
        if (data_ != inline_) std::free(data_);
        data_ = inline_;
        size_ = 0;
        capacity_ = N;
    }

private:
    T* data_ = inline_;
    int32_t size_ = 0;
    int32_t capacity_ = N;
    T inline_[N];
};

// The kind of an element, one unsigned byte.
enum WildcardKind : uint8_t {
    wkLiteral = 0,  // a run of ordinary characters and escapes
    wkAnyChar = 1,  // a run of "?" (one character each) and "_" (one or none)
    wkAnyRun = 2,   // a run of "%" (one or more characters) and "*" (any number)
    wkCharSet = 3,  // "#" and "[...]"
    wkGroup = 4,    // "{...}"
};

// A set of the 256 character codes, one bit each.
struct CharBits {
    uint32_t Words[8];

    bool Has(unsigned char c) const noexcept { return (Words[c >> 5] >> (c & 31)) & 1u; }
    void Add(unsigned char c) noexcept { Words[c >> 5] |= 1u << (c & 31); }
    // Adds first to last, both included (first <= last), a word at a time.
    void AddRange(unsigned char first, unsigned char last) noexcept {
        for (int w = first >> 5; w <= last >> 5; ++w) {
            const int low = w == first >> 5 ? first & 31 : 0;
            const int high = w == last >> 5 ? last & 31 : 31;
            Words[w] |= (~0u >> (31 - high)) & (~0u << low);
        }
    }
    bool Empty() const noexcept {
        uint32_t any = 0;
        for (uint32_t w : Words) any |= w;
        return any == 0;
    }
};

// The characters of a wkCharSet, kept apart from the elements (most
// elements are not sets) and shared by the sets of a mask that read alike.
struct CharSetRec {
    CharBits Chars;          // accepted characters; empty: all
    CharBits ExcludedChars;  // refused characters
    CharBits Members;        // what the set takes: Chars (or all) less ExcludedChars
};

// One list of elements: a whole mask or one alternative of a group. The
// elements of a list are contiguous in CompiledMask::Elements.
struct aWildcard {
    int32_t First;  // index of the first element in Elements
    int32_t Count;  // number of elements
    // Whether the end of this list succeeds whatever text remains. The
    // whole mask's list is closed; an alternative's list is open when its
    // group has more elements after it, or when the group's own list is open.
    bool OpenEnd;
};

// One element of a compiled mask. Fields a kind does not use keep the
// values AddElement gives them (counts 0, not Required).
//
// Adjacent "?" and "_" compile to one wkAnyChar, adjacent "%" and "*" to one
// wkAnyRun, with counts. A run of m "?" and k "_" takes from m to m + k
// characters and, tried one element at a time, first succeeds with the
// longest length the rest accepts; a run of m "%" and any "*" takes m or
// more and first succeeds with the shortest. The counted element tries its
// lengths in exactly that order, so whole matches and the lengths groups
// fix are those of the elements one by one.
struct WildcardRec {
    uint8_t Kind;             // a WildcardKind
    int32_t Set;              // wkCharSet: its characters, an index in CompiledMask::Sets
    // wkLiteral: its length; wkCharSet: upper bound, <= 0 none; wkAnyChar:
    // the most characters (m + k); wkAnyRun: unused (no upper bound)
    int32_t MaxCount;
    int32_t MinCount;         // wkCharSet: lower bound; wkAnyChar, wkAnyRun: the fewest characters (m)
    bool Required;            // whether the element must consume text
    int32_t Literal;          // wkLiteral: offset of its text in LiteralPool
    int32_t Alternatives;     // wkGroup: index of its first alternative in Lists
    int32_t AlternativeCount; // wkGroup: number of alternatives
    int32_t List;             // index in Lists of the list holding this element
};

// How a wkCharSet takes its possessive run, one rule for every matcher.
// From a position with `remaining` text left, the run counts the members
// standing there in a row, stopping at Cap; a run that reaches Cap is
// taken whatever MinCount says, a shorter one only when at least Shortest
// long. A Required set with less than Room text left makes no try at all.
// Where the run is not taken, an optional set matches nothing; no other
// length is ever tried.
struct PossessiveRun {
    static constexpr int32_t kNoCap = INT32_MAX;

    int32_t Room;
    int32_t Cap;       // kNoCap: the run has no upper bound
    int32_t Shortest;
    bool Required;

    explicit PossessiveRun(const WildcardRec& set) noexcept
        : Room(set.Required ? set.MinCount : 0),
          Cap(set.MaxCount > 0 ? set.MaxCount : kNoCap),
          Shortest(set.MaxCount > 0 ? set.MinCount : set.Required ? 1 : 0),
          Required(set.Required) {}

    bool Bounded() const noexcept { return Cap != kNoCap; }
    // How many characters a count of members needs to look at.
    int32_t ScanLimit(int32_t remaining) const noexcept { return remaining < Cap ? remaining : Cap; }
    // The length the run takes where `members` members stand in a row
    // (counted at least up to ScanLimit), or -1 where the try fails.
    int32_t Taken(int32_t members, int32_t remaining) const noexcept {
        if (remaining < Room) return -1;
        const int32_t r = members < Cap ? members : Cap;
        return r == Cap || r >= Shortest ? r : -1;
    }
};

// A compiled mask, flat: every element of every list in one array, every
// list in another, every literal's text in one pool. Lists[0] is the whole
// mask; a group's alternatives are consecutive entries of Lists, and each
// is compiled after the list holding the group, so an alternative's
// elements always come after its group element.
struct CompiledMask {
    SmallVec<WildcardRec, 12> Elements;
    SmallVec<aWildcard, 8> Lists;
    SmallVec<char, 128> LiteralPool;
    SmallVec<CharSetRec, 2> Sets;
    int32_t Groups = 0;       // wkGroup elements in all
    int32_t GroupDepth = 0;   // the deepest nesting of groups; 0 without any
    int32_t DigitSet = -1;    // the entry of Sets that "#" uses, once one has

    const char* LiteralOf(const WildcardRec& element) const noexcept { return LiteralPool.data() + element.Literal; }
    const CharSetRec& SetOf(const WildcardRec& element) const noexcept { return Sets[element.Set]; }
};

// Syntax (syntax.cpp).

// Reads text as a signed 32-bit number: leading spaces, an optional sign,
// then decimal digits or a hexadecimal prefix ("$", "x", "X", "0x", "0X")
// and hexadecimal digits, and nothing else. Any other text gives fallback.
int32_t ReadNumber(std::string_view text, int32_t fallback) noexcept;
// The first escape pass: every escape becomes "\$" and two hex digits,
// except "\$", which stays as written. out must have room for three bytes
// per byte of the mask; returns the encoded length.
int32_t EncodeEscapes(std::string_view mask, char* out) noexcept;
// The second escape pass, over one literal run or one set item. out must
// have room for the piece's length; returns the decoded length.
int32_t DecodeEscapes(std::string_view piece, char* out) noexcept;
// The second escape pass over piece[0, length): writes at most capacity
// bytes to out and returns the full decoded length (never above length).
int32_t DecodeEscapesTo(const char* piece, int32_t length, char* out, int32_t capacity) noexcept;
// The n-th item (from 1) of a set or group body, a part of body; empty when
// there is none (or when memory runs out).
std::string_view NthItem(std::string_view body, int32_t n) noexcept;

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

// Compiler (compiler.cpp). Out of memory is reported by the results: -1 or
// false.

// Appends a fresh element to list `list` (which must be the list being
// compiled, the last one whose elements are being appended) and returns its
// index.
int32_t AddElement(CompiledMask& mask, int32_t list) noexcept;
// Appends the wkCharSet element of an encoded set body to list `list`, or
// nothing for an empty body.
bool ParseCharSet(CompiledMask& mask, int32_t list, std::string_view body) noexcept;
// Empties mask and compiles an encoded mask into it.
bool CompileMask(CompiledMask& mask, std::string_view encoded) noexcept;
// Frees everything the compiled mask holds and leaves it empty.
void FreeWildcard(CompiledMask& mask) noexcept;

// Matchers.

// Whether the whole text matches the compiled mask, anchored at both ends.
MatchOutcome MatchWildcard(const CompiledMask& mask, std::string_view text) noexcept;

// The ways MatchWildcard decides, for the tests that reach each one. Each
// gives Match or NoMatch, or TooComplex where it cannot say: over its
// budget or its bound, out of memory, or (the direct path) a mask not of
// its kind.
// Backtracking as the language describes it, within a budget of `steps`
// frames and failed probes.
MatchOutcome MatchByBacktracking(const CompiledMask& mask, std::string_view text, int64_t steps) noexcept;
// The whole test on a mask as written, for a mask of ordinary characters,
// "?", "#", "*" and "%" alone (direct.cpp), with nothing compiled, within a
// budget of `steps`.
MatchOutcome MatchDirectly(std::string_view text, std::string_view mask, int64_t steps) noexcept;
// The same outcome from a table of positions per nesting level (positions.cpp),
// within the per-call bound.
MatchOutcome MatchByPositions(const CompiledMask& mask, std::string_view text) noexcept;
// The same outcome from sets of positions, 64 to a word (bitsets.cpp), for
// a mask without groups or whose groups stand in the whole mask's own list
// only (nesting depth 1), each alternative ending in one place per start or
// closing the mask; any other mask, or a text whose sets would pass
// kMatchBytes, goes to MatchByPositions.
MatchOutcome MatchByPositionSets(const CompiledMask& mask, std::string_view text) noexcept;
// Whether MatchByPositionSets decides this mask on a text of this length
// itself (rather than handing it to the position tables).
bool PositionSetsDecide(const CompiledMask& mask, size_t textLength) noexcept;

}  // namespace vantor
