#pragma once
// The memory of the benchmark process: the heap the allocator hands out and
// the pages the process holds.
#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace qm::bench {

// Bytes the allocator hands out, large blocks (mapped on their own) included.
inline size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Pages the process holds, in bytes.
inline size_t residentBytes()
{
    size_t pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%zu %zu", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

}  // namespace qm::bench
