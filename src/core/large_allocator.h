#pragma once
// Memory for a list that may grow to megabytes (a large budget's records and
// the projection's lists over them). On small pages such a list costs a
// translation miss on nearly every scattered read, and one page-table entry
// and one first-touch fault per 4 KB. Blocks that fill at least three quarters
// of a huge page therefore start on a huge page's boundary, their huge pages
// marked for the kernel to back with huge pages when it can without making
// the first writes wait; smaller ones come from operator new as usual.
#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace qm {

inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;  // a huge page

void* allocateLargeBlock(std::size_t bytes, std::size_t alignment);
void releaseLargeBlock(void* block, std::size_t bytes, std::size_t alignment) noexcept;

// Marks the block (on huge page boundaries) for huge pages where having them
// costs no wait on the first writes; false when it did not.
bool adviseHugePages(void* block, std::size_t bytes);
// Whether a virtio balloon bound to that driver folder reports the guest's
// free pages to the host, which then takes them back.
bool hostTakesBackFreePages(const char* balloonDriver);

// Makes the fresh pages under data..data+bytes ready for the writes that are
// about to fill them, all in one call: asked for one at a time, by the first
// write to each, they cost about twice as much on a guest whose host shadows
// its page tables. The contents stay as they are; kernels that cannot leave
// the pages to fault as usual.
void readyFreshPages(void* data, std::size_t bytes);

// Fresh pages of a few ranges made ready on a thread of its own, range by
// range from the front, while this thread fills them in the same order. On
// a guest whose host maps each page on its first touch, readying a page
// costs about as much as the work of filling it: done beside the filling, it
// leaves the filler the filling alone. Where the process may run on one CPU
// only, no thread starts and the filler readies each stretch itself just
// ahead of its writes.
//
// The ranges must stay mapped until stop() (or the destructor) returns: a
// list that is about to move stops it first.
class FreshPagesAhead {
public:
    struct Range {
        char* begin;
        char* end;
    };

    FreshPagesAhead();
    explicit FreshPagesAhead(const std::vector<Range>& ranges);
    FreshPagesAhead(FreshPagesAhead&&) noexcept;
    FreshPagesAhead& operator=(FreshPagesAhead&&) noexcept;
    ~FreshPagesAhead();

    // The filler is about to write at..at+bytes in range `range`.
    void writing(std::size_t range, const char* at, std::size_t bytes)
    {
        if (range < m_readyTo.size() && at + bytes > m_readyTo[range])
            catchUp(range, at, bytes);
    }

    // Waits for the thread; the filler readies what is left itself.
    void stop();

    // Whether the pages are readied on a thread of their own.
    bool beside() const;

private:
    struct Shared;

    void catchUp(std::size_t range, const char* at, std::size_t bytes);

    std::unique_ptr<Shared> m_shared;
    std::vector<const char*> m_readyTo;  // how far the filler knows each range ready
};

template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {
    }

    T* allocate(std::size_t n)
    {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(allocateLargeBlock(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { releaseLargeBlock(p, n * sizeof(T), alignof(T)); }

    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace qm
