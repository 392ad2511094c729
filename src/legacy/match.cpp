// The legacy entry point of the mask engine.
#include "legacy/entry_points.h"
#include "mask/mask.h"

// A null address reads as the empty string. The legacy interface cannot
// raise an error, so a mask over the engine's bound (see mask/mask.h), like
// running out of memory, gives 0. The engine throws nothing (it reports
// both as a value), so the library carries no exception runtime.
VANTOR_ENTRY short Match(const char* text, const char* mask) noexcept {
    return vantor::MatchMaskOutcome(text ? std::string_view(text) : std::string_view(),
                                    mask ? std::string_view(mask) : std::string_view()) == vantor::MatchOutcome::Match
               ? 1
               : 0;
}
