// libFuzzer target for Match: the input is split at its first zero byte into
// a mask and a text (no zero byte: all mask, empty text). Every input must
// return 0 or 1 normally, clean under ASan and UBSan; short inputs are also
// checked against the plain reference matcher of the unit tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mask_reference.h"
#include "legacy/entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* zero = std::memchr(bytes, 0, size);
    const size_t maskLength = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : size;
    const std::string mask(bytes, maskLength);
    const std::string text = zero ? std::string(bytes + maskLength + 1, size - maskLength - 1) : std::string();
    const std::string textUpToZero(text.c_str());
    const short result = Match(textUpToZero.c_str(), mask.c_str());
    if (result != 0 && result != 1) std::abort();
    // The reference is exponential in the number of any-runs: keep it to
    // inputs where that stays small.
    int runs = 0;
    for (char c : mask) runs += c == '*' || c == '%' || c == '_' || c == '{';
    if (mask.size() <= 24 && textUpToZero.size() <= 12 && runs <= 4 &&
        reference::MatchMask(textUpToZero, mask) != (result == 1))
        std::abort();
    return 0;
}
