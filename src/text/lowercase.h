// Lower-casing of code-page-1250 text (ALC): a fixed table that folds the 26
// ASCII capitals and 16 accented capitals and leaves every other byte alone.
#pragma once

#include <array>
#include <cstddef>

namespace vantor {

// The 16 accented capitals that fold, with their small letters. Every other
// byte above 0x7F (the other capitals of the code page among them) is its
// own folding.
struct CaseFolding {
    unsigned char Capital;
    unsigned char Small;
};
constexpr CaseFolding kAccentedFoldings[] = {
    {0x8A, 0x9A},  // Š š
    {0x8D, 0x9D},  // Ť ť
    {0x8E, 0x9E},  // Ž ž
    {0xBC, 0xBE},  // Ľ ľ
    {0xC1, 0xE1},  // Á á
    {0xC8, 0xE8},  // Č č
    {0xC9, 0xE9},  // É é
    {0xCC, 0xEC},  // Ě ě
    {0xCD, 0xED},  // Í í
    {0xCF, 0xEF},  // Ď ď
    {0xD2, 0xF2},  // Ň ň
    {0xD3, 0xF3},  // Ó ó
    {0xD8, 0xF8},  // Ř ř
    {0xD9, 0xF9},  // Ů ů
    {0xDA, 0xFA},  // Ú ú
    {0xDD, 0xFD},  // Ý ý
};

constexpr std::array<unsigned char, 256> MakeLowerCaseTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) table[byte] = static_cast<unsigned char>(byte);
    for (unsigned byte = 'A'; byte <= 'Z'; ++byte) table[byte] = static_cast<unsigned char>(byte + 0x20);
    for (const CaseFolding& folding : kAccentedFoldings) table[folding.Capital] = folding.Small;
    return table;
}

// The folding of every byte value; it depends on no locale or setting.
constexpr std::array<unsigned char, 256> kLowerCaseTable = MakeLowerCaseTable();

// The folding as three tables of sixteen bytes, indexed by a byte's low and
// high four bits, for a vector shuffle (pshufb) to look up sixteen or
// thirty-two bytes at once: a byte folds when Low[its low bits] and
// High[its high bits] share a bit (one bit per high half that has
// capitals), and then Delta[its high bits] is added to it. Built from the
// table above and checked against it for every byte below.
struct NibbleTables {
    unsigned char Low[16];
    unsigned char High[16];
    unsigned char Delta[16];
};

constexpr NibbleTables MakeNibbleTables() {
    NibbleTables tables{};
    int groups = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (kLowerCaseTable[byte] == byte) continue;
        const unsigned high = byte >> 4, low = byte & 15;
        if (tables.High[high] == 0) {
            tables.High[high] = static_cast<unsigned char>(1u << groups++);
            tables.Delta[high] = static_cast<unsigned char>(kLowerCaseTable[byte] - byte);
        }
        tables.Low[low] = static_cast<unsigned char>(tables.Low[low] | tables.High[high]);
    }
    return tables;
}

constexpr NibbleTables kNibbleTables = MakeNibbleTables();

constexpr bool NibbleTablesFoldEveryByte() {
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned high = byte >> 4, low = byte & 15;
        const bool folds = (kNibbleTables.Low[low] & kNibbleTables.High[high]) != 0;
        const unsigned folded = (byte + (folds ? kNibbleTables.Delta[high] : 0)) & 0xFF;
        if (folded != kLowerCaseTable[byte]) return false;
    }
    return true;
}
static_assert(NibbleTablesFoldEveryByte(), "at most eight high halves with capitals, one delta each");

// Writes the folding of source[0..length) to target[0..length). Reads no
// byte of source outside that range. Bound once, at load time, to the
// vector form where the processor has AVX2, else to the plain form.
void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept;

// The two forms, which the tests hold to the same bytes: Plain looks every
// byte up in the table; Avx2 folds 32 bytes a step by the nibble tables.
void LowerCaseBytesPlain(const unsigned char* source, std::size_t length, unsigned char* target) noexcept;
void LowerCaseBytesAvx2(const unsigned char* source, std::size_t length, unsigned char* target);

}  // namespace vantor
