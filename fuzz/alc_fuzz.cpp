// libFuzzer target for ALC: the input up to its first zero byte is the text.
// The result must be a new block of exactly the text's length, equal to a
// plain byte-by-byte folding written here (A-Z and the 16 accented capitals
// of code page 1250 to their small letters, every other byte unchanged), and
// folding it again must change nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "awkward_calls.h"

namespace {

unsigned char PlainFold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;  case 0x8D: return 0x9D;  case 0x8E: return 0x9E;
        case 0xBC: return 0xBE;  case 0xC1: return 0xE1;  case 0xC8: return 0xE8;
        case 0xC9: return 0xE9;  case 0xCC: return 0xEC;  case 0xCD: return 0xED;
        case 0xCF: return 0xEF;  case 0xD2: return 0xF2;  case 0xD3: return 0xF3;
        case 0xD8: return 0xF8;  case 0xD9: return 0xF9;  case 0xDA: return 0xFA;
        case 0xDD: return 0xFD;  default: return c;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string text(input.c_str());
    char* lower = ALC(text.c_str());
    if (!lower) std::abort();
    if (std::strlen(lower) != text.size()) std::abort();
    for (size_t i = 0; i < text.size(); ++i)
        if (static_cast<unsigned char>(lower[i]) != PlainFold(static_cast<unsigned char>(text[i]))) std::abort();
    char* again = ALC(lower);
    if (!again || std::strcmp(again, lower) != 0) std::abort();
    std::free(again);
    std::free(lower);
    return 0;
}
