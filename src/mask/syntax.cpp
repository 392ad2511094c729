// The syntax of masks: the number reader of counts and codes, the two escape
// passes, and the splitting of set and group bodies into items.
#include "mask/compiled.h"

namespace vantor {

namespace {

int HexDigit(unsigned char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

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

}  // namespace vantor
