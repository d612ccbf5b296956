#pragma once
// The memory of the benchmark process: the heap the allocator hands out and
// the pages the process holds; the calling thread's own time; figures taken
// in a child process.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <functional>
#include <span>

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

// The calling thread's own CPU time in ms: a thread that shares its core
// with others is not charged for their turns.
inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Runs `body` in a forked child, which fills `figures`, and gives them to
// the caller; false when the child gave none.
inline bool figuresFromChild(std::span<double> figures, const std::function<void(std::span<double>)>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        body(figures);
        const ssize_t bytes = ssize_t(figures.size_bytes());
        ::_exit(::write(fds[1], figures.data(), size_t(bytes)) == bytes ? 0 : 1);
    }
    ::close(fds[1]);
    const ssize_t bytes = child > 0 ? ::read(fds[0], figures.data(), figures.size_bytes()) : -1;
    ::close(fds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return bytes == ssize_t(figures.size_bytes());
}

}  // namespace qm::bench
