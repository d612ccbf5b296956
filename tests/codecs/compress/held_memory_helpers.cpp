#include "codecs/compress/held_memory.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> measuring{false};
std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};

void note(void* p, int64_t sign)
{
    if (!p || !measuring.load(std::memory_order_relaxed))
        return;
    int64_t now = held.fetch_add(sign * static_cast<int64_t>(malloc_usable_size(p)))
        + sign * static_cast<int64_t>(malloc_usable_size(p));
    int64_t high = peak.load();
    while (now > high && !peak.compare_exchange_weak(high, now)) {
    }
}

}  // namespace

void* operator new(std::size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    note(p, 1);
    return p;
}

// The standard library asks for temporary buffers with the nothrow form;
// left to the sanitizer's, they would come back through the free below.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    void* p = std::malloc(n ? n : 1);
    note(p, 1);
    return p;
}

void operator delete(void* p) noexcept
{
    note(p, -1);
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace qm::test {

int64_t peakHeldBytes(const std::function<void()>& run)
{
    held = 0;
    peak = 0;
    measuring = true;
    try {
        run();
    } catch (...) {
        measuring = false;
        throw;
    }
    measuring = false;
    return peak;
}

}  // namespace qm::test
