// A stand-in for the Windows kits' ib_util.dll, for the tests. ib_util_malloc
// hands out blocks of the C runtime's heap, as the kit's does, and keeps
// them; ib_util_release gives one back as the server gives back a FREE_IT
// result and, like the server, refuses a pointer that ib_util_malloc did not
// hand out (it returns 0 and frees nothing).
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::set<void*>& HandedOut() {
    static std::set<void*> blocks;
    return blocks;
}

}  // namespace

extern "C" __declspec(dllexport) void* ib_util_malloc(long size) {
    void* block = std::malloc(static_cast<size_t>(size));
    if (block) {
        const std::lock_guard<std::mutex> guard(Lock());
        HandedOut().insert(block);
    }
    return block;
}

extern "C" __declspec(dllexport) int ib_util_release(void* block) {
    {
        const std::lock_guard<std::mutex> guard(Lock());
        if (HandedOut().erase(block) == 0) return 0;
    }
    std::free(block);
    return 1;
}
