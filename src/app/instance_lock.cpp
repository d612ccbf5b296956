#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "app/paths.h"
#include "core/errors.h"
#include "core/files.h"

namespace qm {

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

InstanceLock acquireInstanceLock(const std::string& configDir, double waitSeconds)
{
    InstanceLock lock;
    std::string path = joinPath(configDir, kInstanceLockName);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        try {
            makePrivateFolders(configDir);
        } catch (const IOError&) {
            // The open below fails and says so.
        }
        fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd < 0)
        return lock;
    double deadline = monotonicSeconds() + waitSeconds;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock.outcome = LockOutcome::held;
            lock.fd = fd;
            return lock;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return lock;
        }
        if (monotonicSeconds() >= deadline)
            break;
        usleep(50000);
    }
    ::close(fd);
    lock.outcome = LockOutcome::busy;
    return lock;
}

void releaseInstanceLock(InstanceLock& lock)
{
    if (lock.fd >= 0)
        ::close(lock.fd);
    lock.fd = -1;
}

}  // namespace qm
