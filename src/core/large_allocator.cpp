#include "core/large_allocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__linux__)
#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>
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

bool freePagesReportedOnce()
{
    static const bool reported = hostTakesBackFreePages("/sys/bus/virtio/drivers/virtio_balloon");
    return reported;
}
#endif

// The part of a block of that many bytes held in huge pages: its whole huge
// pages, and the last, partly filled one only when little of it would lie
// unused (rounding a list of 1.1 MB up to 2 MB of resident memory costs more
// than its faults do).
std::size_t hugePart(std::size_t bytes)
{
    const std::size_t whole = bytes / kLargeBlockBytes * kLargeBlockBytes;
    return bytes - whole >= kLargeBlockBytes / 4 * 3 ? whole + kLargeBlockBytes : whole;
}

}  // namespace

bool hostTakesBackFreePages(const char* balloonDriver)
{
#if defined(__linux__)
    DIR* dir = opendir(balloonDriver);
    if (!dir)
        return false;
    bool reported = false;
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "virtio", 6) != 0)
            continue;
        // One character per feature bit, from bit 0; bit 5 is free page
        // reporting.
        const std::string path = std::string(balloonDriver) + "/" + entry->d_name + "/features";
        if (FILE* f = std::fopen(path.c_str(), "re")) {
            char bits[8] = {};
            reported = reported || (std::fread(bits, 1, 6, f) == 6 && bits[5] == '1');
            std::fclose(f);
        }
    }
    closedir(dir);
    return reported;
#else
    (void)balloonDriver;
    return false;
#endif
}

bool adviseHugePages(void* block, std::size_t bytes)
{
#if defined(__linux__)
    // Not under a host that takes back free memory: it takes it in blocks of
    // a huge page, exactly what a huge page is made from, and the first
    // write to each then waits for the host to back the block again (about
    // 10 ms per 2 MB measured: a large budget opened four times slower),
    // while small pages come from free lists it leaves alone. Otherwise
    // asked for only while the kernel holds twice as many free huge blocks,
    // so that the first writes never wait for a compaction; a hint the
    // kernel may still refuse.
    if (freePagesReportedOnce() || freeHugeBlocks() < 2 * ((bytes + kLargeBlockBytes - 1) / kLargeBlockBytes))
        return false;
    return madvise(block, bytes, MADV_HUGEPAGE) == 0;
#else
    (void)block;
    (void)bytes;
    return false;
#endif
}

#if defined(__linux__)
namespace {

// Reads a byte of each page, so that the host maps them too: an access
// from outside the sanitizers' view, of memory that may hold no object yet.
[[gnu::no_sanitize_address]] void readEachPage(const unsigned char* from, const unsigned char* to, std::size_t page)
{
    for (const unsigned char* p = from; p < to; p += page)
        (void)*static_cast<const volatile unsigned char*>(p);
}

}  // namespace
#endif

void readyFreshPages(void* data, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const auto from = reinterpret_cast<std::uintptr_t>(data) / page * page;
    const auto to = (reinterpret_cast<std::uintptr_t>(data) + bytes + page - 1) / page * page;
    if (bytes == 0 || madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) != 0)
        return;
    readEachPage(reinterpret_cast<const unsigned char*>(from), reinterpret_cast<const unsigned char*>(to), page);
#else
    (void)data;
    (void)bytes;
#endif
}

void* allocateLargeBlock(std::size_t bytes, std::size_t alignment)
{
    const std::size_t huge = hugePart(bytes);
    if (huge == 0)
        return ::operator new(bytes, std::align_val_t(alignment));
    // Starting on a huge page's boundary, from malloc, which maps blocks this
    // large on their own and counts them in the heap's figures.
    void* block = nullptr;
    if (posix_memalign(&block, kLargeBlockBytes, std::max(bytes, huge)) != 0)
        throw std::bad_alloc();
    adviseHugePages(block, huge);
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes, std::size_t alignment) noexcept
{
    const std::size_t huge = hugePart(bytes);
    if (huge == 0) {
        ::operator delete(block, std::align_val_t(alignment));
        return;
    }
#if defined(__linux__)
    // A block from the middle of the heap stays with it: smaller blocks
    // made there later take small pages again.
    madvise(block, huge, MADV_NOHUGEPAGE);
#endif
    std::free(block);
}

}  // namespace qm
