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
// steps: linear in the input (a quarter of it on a large input). Where the
// figures come from:
//   perItem 8  A match in which every element is entered once takes one
//              step per element (its frame) and at most one per text byte
//              (the failed probes of the any-runs, each position probed by
//              one run only; less where memchr or a set scan reads the
//              bytes), so at most one step per item. 8 per item leaves
//              every item room to be retried seven times (a "_" that gives
//              its character back, an alternative tried again from
//              another start) before the exact paths take over.
//   256        The floor for tiny inputs, where 8 per item is a few dozen
//              steps: it keeps a short mask on a short text with the
//              backtracker, whose cost is its steps, rather than the exact
//              paths, whose cost does not shrink with the input (the
//              position sets calloc five to seven working sets and one
//              mask per byte value the mask names; the tables take their
//              block).
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
    // budget there. 2 per item still covers a match whose elements are each
    // entered once (one step per item, above) and once more. 4096 items
    // bounds what the full budget can lose: at most 256 + 8 x 4096 = 33,024
    // steps on any input up to that size; past it the loss would grow with
    // the text, 8 steps a byte, while the position sets spend on a byte one
    // word operation per 64 elements.
    const bool large = mask.Elements.size() + static_cast<int64_t>(text.size()) > 4096;
    const int64_t perItem = large ? 2 : 8;
    const MatchOutcome decided = MatchByBacktracking(mask, text, Budget(mask.Elements.size(), text.size(), perItem));
    if (decided != MatchOutcome::TooComplex) return decided;
    return MatchByPositionSets(mask, text);
}

MatchOutcome CompiledMaskCache::Decide(std::string_view text, std::string_view mask,
                                       CompiledMaskCache* cache) noexcept {
    // A mask of plain characters and wildcards needs no compiling. The
    // direct path has 8 steps an item on every input: a step is one move
    // of the latest any-run, after which at most the piece that follows
    // that run is compared again, so a mask whose pieces nearly match all
    // along the text (the case that makes it slow) stops after 8 moves an
    // item and goes to the compiler.
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
