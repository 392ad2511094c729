// A plain reference for the mask engine, written for the tests and the
// benchmark: its own compiler (one record per element, NthItem rescanning
// the body for every item, CompileMask recursing into each alternative) and
// a recursive backtracking matcher that follows the matching discipline step
// by step. Exponential and stack-hungry on purpose; short inputs only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace reference {

struct Rec;
using List = std::vector<std::unique_ptr<Rec>>;

struct Rec {
    int Kind = 0;  // 0 literal, 1 any char, 2 any run, 3 set, 4 group
    bool Chars[256] = {};
    bool Excluded[256] = {};
    int32_t MaxCount = 0;
    int32_t MinCount = 0;
    bool Required = false;
    std::string Literal;
    std::vector<List> Alternatives;
};

inline int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Signed 32-bit number, or fallback.
inline int32_t Number(const std::string& s, int32_t fallback) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') i++;
    int sign = 1;
    if (i < s.size() && s[i] == '+') i++;
    else if (i < s.size() && s[i] == '-') { sign = -1; i++; }
    bool hex = false;
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) { hex = true; i += 2; }
    else if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) { hex = true; i += 1; }
    if (i >= s.size()) return fallback;
    long long v = 0;
    for (; i < s.size(); i++) {
        int d = hex ? Hex(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (d < 0) return fallback;
        v = v * (hex ? 16 : 10) + d;
        if (v > 0xFFFFFFFFLL) return fallback;
    }
    if (hex) {
        uint32_t bits = static_cast<uint32_t>(v);
        if (sign < 0) bits = ~bits + 1;
        return static_cast<int32_t>(bits);
    }
    long long signedValue = sign * v;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return fallback;
    return static_cast<int32_t>(signedValue);
}

inline std::string Encode(const std::string& mask) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    bool flag = false;
    for (char ch : mask) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (!flag && c == '\\') { out += '\\'; flag = true; }
        else if (flag) {
            if (c == '$') out += "$";
            else if (c == 's') out += "$20";
            else if (c == 't') out += "$09";
            else { out += '$'; out += digits[c >> 4]; out += digits[c & 15]; }
            flag = false;
        } else out += ch;
    }
    return out;
}

inline std::string Decode(const std::string& piece) {
    std::string out;
    bool flag = false;
    size_t i = 1;  // 1-based, as the algorithm is written
    while (i <= piece.size()) {
        char c = piece[i - 1];
        if (!flag && c == '\\') flag = true;
        else if (flag && c == '$' && Number(piece.substr(i - 1, 3), -1) >= 0) {
            out += static_cast<char>(Number(piece.substr(i - 1, 3), -1));
            i += 2;
            flag = false;
        } else { out += c; flag = false; }
        i += 1;
    }
    return out;
}

inline std::string NthItem(const std::string& body, int n) {
    std::string result;
    int counter = 1, depth = 0;
    std::vector<char> expected;
    for (char c : body) {
        bool separator = false;
        if (c == '[' || c == '{') { depth++; expected.push_back(c == '[' ? ']' : '}'); }
        else if (depth > 0 && c == expected.back()) { depth--; expected.pop_back(); }
        else if (depth == 0 && c == ';') { counter++; separator = true; }
        if (!separator && counter == n) result += c;
    }
    return result;
}

inline Rec& AddElement(List& list) {
    list.push_back(std::make_unique<Rec>());
    return *list.back();
}

inline void ParseCharSet(List& list, const std::string& body) {
    if (body.empty()) return;
    Rec& r = AddElement(list);
    r.Kind = 3; r.Required = true; r.MaxCount = 1; r.MinCount = 1;
    std::string items = body;
    size_t colon = body.find(':');
    if (colon != std::string::npos) {
        std::string prefix = body.substr(0, colon);
        items = body.substr(colon + 1);
        if (prefix.empty()) { r.MaxCount = 1; r.MinCount = 0; r.Required = false; }
        else if (prefix[0] == '%') { r.MaxCount = -1; r.MinCount = -1; r.Required = true; }
        else if (prefix[0] == '*') { r.MaxCount = -1; r.MinCount = -1; r.Required = false; }
        else if (prefix.find('-') != std::string::npos) {
            size_t p = prefix.find('-');
            r.MinCount = Number(prefix.substr(0, p), 1);
            r.MaxCount = Number(prefix.substr(p + 1), 1);
            r.Required = r.MinCount > 0;
        } else {
            r.MinCount = r.MaxCount = Number(prefix, 1);
            r.Required = r.MinCount > 0;
        }
    }
    for (int j = 1;; j++) {
        std::string item = NthItem(items, j);
        if (item.empty()) break;
        bool* target = r.Chars;
        if (item[0] == '!') { target = r.Excluded; item.erase(0, 1); }
        item = Decode(item);
        if (item.size() == 1) target[static_cast<unsigned char>(item[0])] = true;
        if (item.size() == 2 && static_cast<unsigned char>(item[0]) < static_cast<unsigned char>(item[1]))
            for (int c = static_cast<unsigned char>(item[0]); c <= static_cast<unsigned char>(item[1]); c++)
                target[c] = true;
        if (item.empty()) break;
    }
}

inline bool Special(char c) {
    return c == '#' || c == '%' || c == '*' || c == '?' || c == '[' || c == '_' || c == '{';
}

inline void CompileMask(List& list, const std::string& text) {
    list.clear();
    bool inSet = false;
    int depth = 0;
    std::string pending;
    for (size_t i = 1; i <= text.size() + 1; i++) {
        bool last = i == text.size() + 1;
        char c = last ? '\0' : text[i - 1];
        if (depth > 0) {
            if (last) continue;
            if (c == '{') { depth++; pending += c; }
            else if (c == '}') {
                depth--;
                if (depth == 0) {
                    Rec& g = AddElement(list);
                    g.Kind = 4; g.Required = true;
                    for (int j = 1;; j++) {
                        std::string alternative = NthItem(pending, j);
                        if (alternative.empty()) break;
                        g.Alternatives.emplace_back();
                        CompileMask(g.Alternatives.back(), alternative);
                    }
                    pending.clear();
                } else pending += c;
            } else pending += c;
        } else if (inSet) {
            if (last) continue;
            if (c == ']') { inSet = false; ParseCharSet(list, pending); pending.clear(); }
            else pending += c;
        } else {
            if (!last && !Special(c)) { pending += c; continue; }
            if (!pending.empty()) {
                Rec& l = AddElement(list);
                l.Kind = 0; l.Literal = Decode(pending); l.Required = true;
                l.MaxCount = static_cast<int32_t>(l.Literal.size());
                pending.clear();
            }
            if (last) break;
            if (c == '?') { Rec& e = AddElement(list); e.Kind = 1; e.Required = true; }
            else if (c == '_') { Rec& e = AddElement(list); e.Kind = 1; e.Required = false; }
            else if (c == '%') { Rec& e = AddElement(list); e.Kind = 2; e.Required = true; }
            else if (c == '*') { Rec& e = AddElement(list); e.Kind = 2; e.Required = false; }
            else if (c == '#') {
                Rec& e = AddElement(list);
                e.Kind = 3; e.Required = true; e.MaxCount = 1; e.MinCount = 1;
                for (int d = '0'; d <= '9'; d++) e.Chars[d] = true;
            } else if (c == '[') inSet = true;
            else if (c == '{') depth = 1;
        }
    }
}

inline bool InSet(const Rec& r, unsigned char c) {
    bool anyAccepted = false;
    for (bool b : r.Chars) anyAccepted |= b;
    return (!anyAccepted || r.Chars[c]) && !r.Excluded[c];
}

// The reference MatchWildcard: plain recursive backtracking over the list;
// returns success, and adds the bytes it matched to consumed on success.
inline bool MatchWildcard(const List& list, size_t index, const std::string& rest, bool openEnd,
                          int32_t& consumed) {
    if (index >= list.size()) return openEnd || rest.empty();
    const Rec& r = *list[index];
    if (rest.empty()) {
        if (r.Required) return false;
        return MatchWildcard(list, index + 1, rest, openEnd, consumed);
    }
    auto continueAfter = [&](size_t n) {
        if (MatchWildcard(list, index + 1, rest.substr(n), openEnd, consumed)) {
            consumed += static_cast<int32_t>(n);
            return true;
        }
        return false;
    };
    const long long length = static_cast<long long>(rest.size());
    switch (r.Kind) {
    case 0:
        if (rest.compare(0, r.Literal.size(), r.Literal) == 0 && rest.size() >= r.Literal.size())
            return continueAfter(r.Literal.size());
        return false;
    case 1:
        if (continueAfter(1)) return true;
        return !r.Required && continueAfter(0);
    case 2:
        for (long long n = r.Required ? 1 : 0; n <= length; n++)
            if (continueAfter(static_cast<size_t>(n))) return true;
        return false;
    case 3: {
        if (r.Required && length < r.MinCount) return false;
        bool tried = false;
        if (r.MaxCount > 0) {
            long long n = 0;
            while (n < length && n < r.MaxCount && InSet(r, static_cast<unsigned char>(rest[n]))) n++;
            if (n == r.MaxCount || n >= r.MinCount) tried = continueAfter(static_cast<size_t>(n));
        } else {
            long long n = 0;
            while (n < length && InSet(r, static_cast<unsigned char>(rest[n]))) n++;
            if (!(r.Required && n == 0)) tried = continueAfter(static_cast<size_t>(n));
        }
        if (tried) return true;
        return !r.Required && continueAfter(0);
    }
    case 4: {
        bool altOpen = index + 1 < list.size() || openEnd;
        for (const List& alternative : r.Alternatives) {
            int32_t k = 0;
            if (!MatchWildcard(alternative, 0, rest, altOpen, k)) continue;
            if (continueAfter(static_cast<size_t>(k))) return true;
        }
        return false;
    }
    }
    return false;
}

inline bool MatchMask(const std::string& text, const std::string& mask) {
    List list;
    CompileMask(list, Encode(mask));
    int32_t consumed = 0;
    return MatchWildcard(list, 0, text, false, consumed);
}

}  // namespace reference
