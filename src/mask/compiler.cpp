// The mask compiler: an encoded mask (escapes already rewritten by
// EncodeEscapes) into the flat compiled form of compiled.h, in one pass per
// list and without recursion on the C stack.
#include "mask/compiled.h"

namespace vantor {

namespace {

struct SpecialTable {
    bool Special[256];
    constexpr SpecialTable() : Special() {
        for (unsigned char c : {'#', '%', '*', '?', '[', '_', '{'}) Special[c] = true;
    }
};
constexpr SpecialTable kSpecial;

bool IsSpecial(unsigned char c) noexcept { return kSpecial.Special[c]; }

// Stores the characters of a set, with Members filled in, and returns their
// index in Sets; a set that reads like one of the last few stored shares
// its entry. -1 when memory runs out.
int32_t AddSet(CompiledMask& mask, CharSetRec characters) noexcept {
    const bool anyAccepted = characters.Chars.Empty();
    for (int w = 0; w < 8; ++w)
        characters.Members.Words[w] = (anyAccepted ? ~0u : characters.Chars.Words[w]) & ~characters.ExcludedChars.Words[w];
    const int32_t count = mask.Sets.size();
    for (int32_t i = count - 1; i >= 0 && i >= count - 8; --i)
        if (std::memcmp(&mask.Sets[i], &characters, sizeof characters) == 0) return i;
    return mask.Sets.push_back(characters) ? count : -1;
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
    int32_t Depth;  // the nesting depth of its alternatives, 1 for a group at the top
};

// Compiles encoded[begin, end) into list `list`, which must be the last
// list and empty. Groups get their element here and are queued; their
// alternatives are compiled later from the queue, so this never recurses.
// False when memory runs out.
bool CompileList(CompiledMask& mask, int32_t list, int32_t depth, const char* encoded, int32_t begin, int32_t end,
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
            char* pool = mask.LiteralPool.data() + offset;
            const size_t raw = static_cast<size_t>(i - start);
            const int32_t length = std::memchr(encoded + start, '\\', raw)
                                       ? DecodeEscapesTo(encoded + start, i - start, pool, i - start)
                                       : (std::memcpy(pool, encoded + start, raw), i - start);
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
            if (e < 0 || !pending.push_back(PendingGroup{e, i + 1, j, depth + 1})) return false;
            ++mask.Groups;
            if (mask.GroupDepth < depth + 1) mask.GroupDepth = depth + 1;
            mask.Elements[e].Kind = wkGroup;
            mask.Elements[e].Required = true;
            i = j;
            start = j + 1;
            continue;
        }
        const bool anyChar = c == '?' || c == '_';
        const bool anyRun = c == '%' || c == '*';
        if (anyChar || anyRun) {
            // A run of these directly after another of its kind joins it:
            // one counted element (see WildcardRec).
            const aWildcard& l = mask.Lists[list];
            const int32_t last = l.First + l.Count - 1;
            const uint8_t kind = anyChar ? wkAnyChar : wkAnyRun;
            int32_t e = last;
            if (l.Count == 0 || mask.Elements[last].Kind != kind) {
                e = AddElement(mask, list);
                if (e < 0) return false;
                mask.Elements[e].Kind = kind;
                mask.Elements[e].MaxCount = anyRun ? -1 : 0;
            }
            WildcardRec& run = mask.Elements[e];
            if (c == '?' || c == '%') ++run.MinCount;
            if (anyChar) ++run.MaxCount;
            run.Required = run.MinCount > 0;
            continue;
        }
        const int32_t e = AddElement(mask, list);  // '#'
        if (e < 0) return false;
        WildcardRec& element = mask.Elements[e];
        element.Kind = wkCharSet;
        element.Required = true;
        element.MaxCount = 1;
        element.MinCount = 1;
        if (mask.DigitSet < 0) {
            CharSetRec digits{};
            digits.Chars.AddRange('0', '9');
            mask.DigitSet = AddSet(mask, digits);
            if (mask.DigitSet < 0) return false;
        }
        element.Set = mask.DigitSet;
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
             CompileList(mask, mask.Lists.size() - 1, group.Depth, encoded, begin, end, closers, pending);
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

int32_t AddElement(CompiledMask& mask, int32_t list) noexcept {
    const int32_t e = mask.Elements.size();
    if (!mask.Elements.resize(static_cast<int64_t>(e) + 1)) return -1;
    // Field by field, in place, with no whole-record copy.
    WildcardRec& element = mask.Elements[e];
    element.Kind = wkLiteral;
    element.Set = 0;
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
    CharSetRec characters{};
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
    const bool read = ForEachItem(items.data(), static_cast<int32_t>(items.size()), [&](int32_t begin, int32_t end) noexcept {
        if (begin == end) return false;  // the list stops at an empty item
        const bool negated = items[static_cast<size_t>(begin)] == '!';
        if (negated) ++begin;
        CharBits& target = negated ? characters.ExcludedChars : characters.Chars;
        char decoded[2] = {0, 0};
        const int32_t length = DecodeEscapesTo(items.data() + begin, end - begin, decoded, 2);
        const unsigned char first = static_cast<unsigned char>(decoded[0]);
        const unsigned char last = static_cast<unsigned char>(decoded[1]);
        if (length == 1) target.Add(first);
        if (length == 2 && first < last) target.AddRange(first, last);
        return length != 0;  // a lone "!" also ends the list
    });
    if (!read) return false;
    const int32_t index = AddSet(mask, characters);
    mask.Elements[e].Set = index;
    return index >= 0;
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
    if (!mask.Lists.push_back(aWildcard{0, 0, false}) || !CompileList(mask, 0, 0, text, 0, length, closers, pending))
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
    mask.Sets.Release();
    mask.DigitSet = -1;
    mask.Groups = 0;
    mask.GroupDepth = 0;
}

}  // namespace vantor
