// libFuzzer target for DPDOW: the first 8 bytes are the DP value (any bit
// pattern; missing bytes are zero), the rest up to a zero byte the weekday
// list. Checked against a plain reference: the weekday from the x87 (DP
// times 86400000 rounded to whole milliseconds, days toward zero, remainder
// by 7; 0 where there is no 32-bit day count), then "" and "0" (and a null
// list) pass every value, any other list the weekday's 16-bit decimal text.
#include <cmath>
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

    int64_t weekday = 0;
    if (std::fabs(dp) < 2147483648.0) {
        const int64_t days = static_cast<int64_t>(std::nearbyint(static_cast<long double>(dp) * 86400000.0L)) / 86400000;
        weekday = (int64_t{static_cast<int32_t>(static_cast<uint32_t>(days + 693594))} - 1) % 7 + 1;
    }
    const bool everyDay = text[0] == '\0' || std::strcmp(text, "0") == 0;
    const bool expected = everyDay || std::strstr(text, std::to_string(static_cast<uint16_t>(weekday)).c_str());
    if (DPDOW(&dp, text) != (expected ? 1 : 0)) std::abort();
    if (DPDOW(&dp, nullptr) != 1) std::abort();
    return 0;
}
