// Reading and setting the x87 control word from tests.
#pragma once

#include <cstdint>

namespace vantor_test {

inline uint16_t ReadControlWord() {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

inline void WriteControlWord(uint16_t word) {
    __asm__ volatile("fldcw %0" : : "m"(word));
}

// Rounding up (RC = 10) with a 53-bit significand (PC = 10), all exceptions
// masked: far from the platform default 0x037F.
constexpr uint16_t kRoundUpDoublePrecision = 0x0A7F;

// Sets a control word for the lifetime of the object.
class ScopedControlWord {
  public:
    explicit ScopedControlWord(uint16_t word) : saved_(ReadControlWord()) { WriteControlWord(word); }
    ~ScopedControlWord() { WriteControlWord(saved_); }
    ScopedControlWord(const ScopedControlWord&) = delete;
    ScopedControlWord& operator=(const ScopedControlWord&) = delete;

  private:
    uint16_t saved_;
};

}  // namespace vantor_test
