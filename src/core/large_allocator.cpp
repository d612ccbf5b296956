#include "core/large_allocator.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <dirent.h>
#include <sched.h>
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

namespace {

// Whether more than one CPU may run this process: a thread beside the
// filler that can only take turns with it gains nothing.
bool severalCpus()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
#else
    return std::thread::hardware_concurrency() > 1;
#endif
}

}  // namespace

// Long enough that the calls cost nothing beside the pages, short enough
// that the pages are still in the cache when written.
constexpr std::size_t kStretch = std::size_t(256) << 10;

struct FreshPagesAhead::Shared {
    std::vector<Range> ranges;
    // How far each range is ready: by the thread, and by the filler where it
    // had to go first.
    std::unique_ptr<std::atomic<const char*>[]> threadAt;
    std::unique_ptr<std::atomic<const char*>[]> fillerAt;
    std::atomic<bool> stopping{false};
    std::thread worker;

    void readyAll()
    {
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            const char* at = ranges[i].begin;
            const char* end = ranges[i].end;
            while (at < end && !stopping.load(std::memory_order_relaxed)) {
                // Where the filler has overtaken, the stretch it readied is
                // its own.
                at = std::max(at, fillerAt[i].load(std::memory_order_relaxed));
                if (at >= end)
                    break;
                const char* to = std::min(end, at + kStretch);
                readyFreshPages(const_cast<char*>(at), std::size_t(to - at));
                threadAt[i].store(to, std::memory_order_relaxed);
                at = to;
            }
        }
    }
};

FreshPagesAhead::FreshPagesAhead() = default;
FreshPagesAhead::FreshPagesAhead(FreshPagesAhead&&) noexcept = default;
FreshPagesAhead::~FreshPagesAhead() { stop(); }

FreshPagesAhead& FreshPagesAhead::operator=(FreshPagesAhead&& other) noexcept
{
    stop();
    m_shared = std::move(other.m_shared);
    m_readyTo = std::move(other.m_readyTo);
    return *this;
}

FreshPagesAhead::FreshPagesAhead(const std::vector<Range>& ranges)
    : m_shared(std::make_unique<Shared>())
{
    Shared& s = *m_shared;
    s.ranges = ranges;
    s.threadAt = std::make_unique<std::atomic<const char*>[]>(ranges.size());
    s.fillerAt = std::make_unique<std::atomic<const char*>[]>(ranges.size());
    m_readyTo.reserve(ranges.size());
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        s.threadAt[i].store(ranges[i].begin, std::memory_order_relaxed);
        s.fillerAt[i].store(ranges[i].begin, std::memory_order_relaxed);
        m_readyTo.push_back(ranges[i].begin);
    }
    if (!severalCpus())
        return;
    try {
        s.worker = std::thread([&s] { s.readyAll(); });
    } catch (const std::system_error&) {
        // No thread to be had: the filler readies its pages itself.
    }
}

bool FreshPagesAhead::beside() const { return m_shared && m_shared->worker.joinable(); }

void FreshPagesAhead::stop()
{
    if (!beside())
        return;
    m_shared->stopping.store(true, std::memory_order_relaxed);
    m_shared->worker.join();
}

void FreshPagesAhead::catchUp(std::size_t range, const char* at, std::size_t bytes)
{
    const Range& r = m_shared->ranges[range];
    const char*& mine = m_readyTo[range];
    if (at >= r.end || at + bytes <= r.begin) {
        // Past the counted records, the list's room is left to fault.
        mine = reinterpret_cast<const char*>(std::numeric_limits<std::uintptr_t>::max());
        return;
    }
    const char* need = std::min<const char*>(r.end, at + bytes);
    if (beside()) {
        mine = std::max(mine, m_shared->threadAt[range].load(std::memory_order_relaxed));
        if (need <= mine)
            return;
    }
    // The thread has not got here: this stretch is readied here, and the
    // thread goes on after it.
    const char* from = std::max(mine, std::max<const char*>(at, r.begin));
    const char* to = std::min<const char*>(r.end, from + kStretch);
    readyFreshPages(const_cast<char*>(from), std::size_t(to - from));
    mine = to;
    m_shared->fillerAt[range].store(to, std::memory_order_relaxed);
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
