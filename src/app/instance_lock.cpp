#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "app/paths.h"

namespace qm {

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// mkdir -p, mode 0700 for what it creates.
void makeFolders(const std::string& path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/')
            mkdir(path.substr(0, at).c_str(), 0700);
    }
}

}  // namespace

InstanceLock acquireInstanceLock(const std::string& configDir, double waitSeconds)
{
    InstanceLock lock;
    std::string path = joinPath(configDir, kInstanceLockName);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        makeFolders(configDir);
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
