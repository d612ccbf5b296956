#include "core/large_allocator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qm {

namespace {

#if defined(__linux__)
// Free blocks of at least a huge page, counted from the kernel's free lists.
// Asking for huge pages where the kernel has none free would have it compact
// memory while the list is first written, which stalls the program for as
// long as that takes; then small pages serve instead.
size_t freeHugeBlocks()
{
    FILE* f = std::fopen("/proc/buddyinfo", "re");
    if (!f)
        return 0;
    // Order 9 is a 2 MB block of 4 KB pages; each order above it holds
    // twice as many.
    constexpr int kHugeOrder = 9;
    size_t blocks = 0;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        // "Node 0, zone   Normal  n0 n1 ... n10"
        char* at = line;
        for (int field = 0; field < 4 && *at; ++field) {
            while (*at == ' ')
                ++at;
            while (*at && *at != ' ')
                ++at;
        }
        for (int order = 0;; ++order) {
            char* end = nullptr;
            const unsigned long long count = std::strtoull(at, &end, 10);
            if (end == at)
                break;
            at = end;
            if (order >= kHugeOrder && order < kHugeOrder + 20)
                blocks += size_t(count) << (order - kHugeOrder);
        }
    }
    std::fclose(f);
    return blocks;
}
#endif

}  // namespace

void* allocateLargeBlock(std::size_t bytes, std::size_t alignment)
{
    if (bytes < kLargeBlockBytes)
        return ::operator new(bytes, std::align_val_t(alignment));
    // Whole huge pages, so that none of the block shares one with other data.
    // They come from malloc, which maps blocks this large on their own, so
    // that the heap's figures count them.
    const std::size_t rounded = (bytes + kLargeBlockBytes - 1) / kLargeBlockBytes * kLargeBlockBytes;
    if (rounded < bytes)
        throw std::bad_array_new_length();
    void* block = std::aligned_alloc(kLargeBlockBytes, rounded);
    if (!block)
        throw std::bad_alloc();
#if defined(__linux__)
    // Asked for only while the kernel holds twice the block in free huge
    // blocks, so that its first writes never wait for a compaction; a hint
    // the kernel may still refuse.
    if (freeHugeBlocks() >= 2 * (rounded / kLargeBlockBytes))
        madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes, std::size_t alignment) noexcept
{
    if (bytes < kLargeBlockBytes)
        ::operator delete(block, std::align_val_t(alignment));
    else
        std::free(block);
}

}  // namespace qm
