// libFuzzer target for DPDOW: the first 8 bytes are the DP value (any bit
// pattern; missing bytes are zero), the rest up to a zero byte the weekday
// list. Checked against a plain reading of the rule: "" and "0" (and a null
// list) pass every value; otherwise the weekday of DP2DOW, as an unsigned
// 16-bit number in decimal, must occur somewhere in the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "awkward_calls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint64_t bits = 0;
    std::memcpy(&bits, data, size < 8 ? size : 8);
    const double dp = vantor_test::DoubleOfBits(bits);
    const std::string list = size > 8 ? std::string(reinterpret_cast<const char*>(data) + 8, size - 8) : "";
    const char* text = list.c_str();  // up to the first zero byte

    const int16_t result = DPDOW(&dp, text);
    const std::string weekday = std::to_string(static_cast<uint16_t>(DP2DOW(&dp)));
    const bool everyDay = text[0] == '\0' || std::strcmp(text, "0") == 0;
    const bool expected = everyDay || std::strstr(text, weekday.c_str()) != nullptr;
    if (result != (expected ? 1 : 0)) std::abort();
    if (DPDOW(&dp, nullptr) != 1) std::abort();
    return 0;
}
