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
    unsigned char capital;
    unsigned char small;
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
    for (const CaseFolding& folding : kAccentedFoldings) table[folding.capital] = folding.small;
    return table;
}

// The folding of every byte value; it depends on no locale or setting.
constexpr std::array<unsigned char, 256> kLowerCaseTable = MakeLowerCaseTable();

// Writes the folding of source[0..length) to target[0..length). Reads no
// byte of source outside that range.
void LowerCaseBytes(const unsigned char* source, std::size_t length, unsigned char* target) noexcept;

#if defined(__i386__) && !defined(__SSE2__)
// The two forms LowerCaseBytes is bound to on i386, by whether the processor
// has SSE2; the tests hold them to the same bytes.
void LowerCaseBytesSse2(const unsigned char* source, std::size_t length, unsigned char* target) noexcept;
void LowerCaseBytesPlain(const unsigned char* source, std::size_t length, unsigned char* target) noexcept;
#endif

}  // namespace vantor
