#include "core/page_writes.h"

#include <atomic>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace qm {

namespace {

std::atomic<bool> pagesShared{false};

}  // namespace

void notePagesShared() { pagesShared.store(true, std::memory_order_relaxed); }

void prepareWrites(const void* data, size_t bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Below a few pages the call costs more than the faults it saves.
    constexpr size_t kWorthIt = size_t(64) << 10;
    // Pages a fork never write-protected take no fault to spare, and asking
    // still walks each of them.
    if (bytes < kWorthIt || !pagesShared.load(std::memory_order_relaxed))
        return;
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    // Only pages that hold part of the range: they are mapped, and writing
    // them is what the caller is about to do anyway.
    const uintptr_t from = uintptr_t(data) & ~(page - 1);
    const uintptr_t to = (uintptr_t(data) + bytes + page - 1) & ~(page - 1);
    // A kernel before 5.14 refuses the advice: the writes then fault one by
    // one, as they would have.
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace qm
