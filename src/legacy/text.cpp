// The legacy entry point of the lower-casing function, ALC.
#include <climits>
#include <cstring>

#include "legacy/entry_points.h"
#include "text/lowercase.h"

// The result comes from ib_util_malloc, the only memory the server accepts
// for a FREE_IT result. A null argument, or no memory, gives a null address,
// which the server reads as NULL.
VANTOR_ENTRY char* ALC(const char* text) noexcept {
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(LONG_MAX)) return nullptr;
    auto* result = static_cast<unsigned char*>(ib_util_malloc(static_cast<long>(length + 1)));
    if (!result) return nullptr;
    vantor::LowerCaseBytes(reinterpret_cast<const unsigned char*>(text), length, result);
    result[length] = 0;
    return reinterpret_cast<char*>(result);
}
