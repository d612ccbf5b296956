#pragma once
// One program per configuration folder: two would overwrite each other's
// budget, journal and settings. The lock is an exclusive flock on a file in
// the folder; the kernel drops it when the process ends, however it ends.
#include <optional>
#include <string>

namespace qm {

inline constexpr const char* kInstanceLockName = "instance.lock";

enum class LockOutcome {
    held,        // this process holds the lock
    busy,        // another process kept it through every retry
    unlockable,  // the folder cannot hold a lock file: run without one
};

struct InstanceLock {
    LockOutcome outcome = LockOutcome::unlockable;
    int fd = -1;  // open while held; close-on-exec, so children never inherit it
};

// Creates the folder when missing. Retries for up to waitSeconds while
// another process holds the lock (an updater's restart overlaps the old
// process).
InstanceLock acquireInstanceLock(const std::string& configDir, double waitSeconds);
void releaseInstanceLock(InstanceLock& lock);

}  // namespace qm
