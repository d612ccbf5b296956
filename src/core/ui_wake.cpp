#include "core/ui_wake.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace qm {

namespace {

std::atomic<int> wakeFd{-1};

}  // namespace

int uiWakeFd()
{
    // A function-local static is made once even when two threads race to it;
    // the handler reads only the atomic, never the static.
    static const int fd = [] {
        int made = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        wakeFd.store(made, std::memory_order_release);
        return made;
    }();
    return fd;
}

void wakeUiThread() noexcept
{
    const int fd = wakeFd.load(std::memory_order_acquire);
    if (fd < 0)
        return;
    const uint64_t one = 1;
    // A full counter already wakes the waiter; nothing is lost by a refusal.
    [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
}

void drainUiWakes() noexcept
{
    const int fd = wakeFd.load(std::memory_order_acquire);
    if (fd < 0)
        return;
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
}

WakeWait waitReadableOrWoken(int fd, int timeoutMs)
{
    pollfd p[2] = {{fd, POLLIN, 0}, {uiWakeFd(), POLLIN, 0}};
    WakeWait got;
    if (poll(p, 2, timeoutMs) <= 0)
        return got;
    got.readable = p[0].revents != 0;
    got.woken = (p[1].revents & POLLIN) != 0;
    if (got.woken)
        drainUiWakes();
    return got;
}

}  // namespace qm
