// The whole test: the escape pass, the compiler, and the choice of matcher;
// and the cache of the last compiled mask.
#include "mask/mask.h"

#include <new>

#include "mask/compiled.h"

namespace vantor {

namespace {

// Encodes the escapes of mask into `encoded` where it has any, and returns
// the text to compile; false when memory runs out.
bool Encode(std::string_view mask, SmallVec<char, 256>& encoded, std::string_view& source) noexcept {
    // Without a backslash the first escape pass copies the mask unchanged.
    source = mask;
    if (mask.empty() || !std::memchr(mask.data(), '\\', mask.size())) return true;
    if (mask.size() > static_cast<size_t>(INT32_MAX / 4) || !encoded.reserve(static_cast<int64_t>(mask.size()) * 3))
        return false;
    const int32_t length = EncodeEscapes(mask, encoded.data());
    source = std::string_view(encoded.data(), static_cast<size_t>(length));
    return true;
}

// Backtracking (and the direct path) settle ordinary masks within this many
// steps: linear in the input (a quarter of it on a large input).
int64_t Budget(int64_t elements, size_t textLength, int64_t perItem = 8) noexcept {
    return 256 + perItem * (elements + static_cast<int64_t>(textLength));
}

bool Compile(std::string_view mask, CompiledMask& compiled) noexcept {
    SmallVec<char, 256> encoded;
    std::string_view source;
    return Encode(mask, encoded, source) && CompileMask(compiled, source);
}

}  // namespace

MatchOutcome MatchWildcard(const CompiledMask& mask, std::string_view text) noexcept {
    if (text.size() > static_cast<size_t>(INT32_MAX / 16)) return MatchOutcome::TooComplex;
    // Backtracking settles ordinary masks within a budget linear in the
    // input; past it, the position sets (without groups) or tables give
    // the same outcome.
    // On a large input, steps spent on a mask that backtracking does not
    // settle are lost before the exact paths decide: a quarter of the
    // budget there.
    const bool large = mask.Elements.size() + static_cast<int64_t>(text.size()) > 4096;
    const int64_t perItem = large ? 2 : 8;
    const MatchOutcome decided = MatchByBacktracking(mask, text, Budget(mask.Elements.size(), text.size(), perItem));
    if (decided != MatchOutcome::TooComplex) return decided;
    return MatchByPositionSets(mask, text);
}

MatchOutcome CompiledMaskCache::Decide(std::string_view text, std::string_view mask,
                                       CompiledMaskCache* cache) noexcept {
    // A mask of plain characters and wildcards needs no compiling.
    const MatchOutcome direct = MatchDirectly(text, mask, Budget(static_cast<int64_t>(mask.size()), text.size()));
    if (direct != MatchOutcome::TooComplex) return direct;
    if (cache && cache->Keep(mask)) return MatchWildcard(*cache->compiled_, text);
    CompiledMask compiled;
    if (!Compile(mask, compiled)) return MatchOutcome::TooComplex;
    return MatchWildcard(compiled, text);
}

MatchOutcome MatchMaskOutcome(std::string_view text, std::string_view mask) noexcept {
    return CompiledMaskCache::Decide(text, mask, nullptr);
}

bool MatchMask(std::string_view text, std::string_view mask) noexcept {
    return MatchMaskOutcome(text, mask) == MatchOutcome::Match;
}

// The cache takes its memory on first use, so that a function object that
// never matches a compiled mask costs nothing. Plain malloc and placement
// new: the library links no exception runtime.
CompiledMaskCache::CompiledMaskCache() noexcept : compiled_(nullptr), key_(nullptr), keyLength_(-1) {}

CompiledMaskCache::~CompiledMaskCache() {
    if (compiled_) {
        compiled_->~CompiledMask();
        std::free(compiled_);
    }
    std::free(key_);
}

MatchOutcome CompiledMaskCache::Match(std::string_view text, std::string_view mask) noexcept {
    return Decide(text, mask, this);
}

bool CompiledMaskCache::Keep(std::string_view mask) noexcept {
    if (mask.size() > static_cast<size_t>(kMaxMaskBytes)) return false;
    if (!compiled_) {
        void* block = std::malloc(sizeof(CompiledMask));
        if (block) compiled_ = new (block) CompiledMask;
    }
    if (!key_) key_ = static_cast<char*>(std::malloc(kMaxMaskBytes));
    if (!compiled_ || !key_) return false;
    const int32_t length = static_cast<int32_t>(mask.size());
    if (length == keyLength_ && (!length || std::memcmp(key_, mask.data(), mask.size()) == 0)) return true;
    keyLength_ = -1;
    if (!Compile(mask, *compiled_)) {
        FreeWildcard(*compiled_);
        return false;
    }
    if (length) std::memcpy(key_, mask.data(), mask.size());
    keyLength_ = length;
    return true;
}

}  // namespace vantor
