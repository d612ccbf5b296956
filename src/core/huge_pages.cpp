#include "core/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qm {

void preferHugePages(const void* data, size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (uintptr_t(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (uintptr_t(data) + bytes) & ~(kHuge - 1);
    // A kernel without transparent huge pages refuses the hint; the buffer
    // then simply keeps its small pages.
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace qm
