// The legacy entry point of the wildcard matcher, Match.
#include <string_view>

#include "legacy/entry_points.h"
#include "mask/mask.h"

// DECLARE EXTERNAL FUNCTION Match CSTRING(32765), CSTRING(32765)
//   RETURNS SMALLINT BY VALUE ENTRY_POINT 'Match' MODULE_NAME 'vantor';
// A null address reads as the empty string. Out of memory gives 0. The
// engine throws nothing (it reports running out of memory as a value), so
// the library carries no exception runtime.
VANTOR_ENTRY short Match(const char* text, const char* mask) noexcept {
    return vantor::MatchMask(text ? std::string_view(text) : std::string_view(),
                             mask ? std::string_view(mask) : std::string_view())
               ? 1
               : 0;
}
