#include "model/store_saver.h"

#include "core/errors.h"
#include "core/page_writes.h"
#include "model/projection.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {

namespace {

// Bringing the projection up to date after an edit rewrites its lists; done
// after the fork, every page it writes would first be copied for the child.
void updateProjectionBeforeFork(const LocalStore& store)
{
    const BudgetProjection* p = store.projection.get();
    if (p && p->budget == store.budget.get() && p->revision != store.change_count && p->notedTo == store.change_count)
        storeProjection(store);
}

}  // namespace

struct StoreSaver {
    pid_t child = -1;      // the save under way, if any
    int report = -1;       // its pipe: the failure's text, empty on success
    std::string folder;    // the folder it writes
    LocalStorePtr queued;  // a save asked for while it runs
    std::optional<SaveFailure> failure;

    ~StoreSaver() { reap(true); }

    // Notes the end of the save under way; false when it still runs.
    bool reap(bool wait)
    {
        if (child < 0)
            return true;
        int status = 0;
        pid_t done;
        do
            done = waitpid(child, &status, wait ? 0 : WNOHANG);
        while (done < 0 && errno == EINTR);
        if (done == 0)
            return false;
        std::string message;
        char buf[512];
        for (ssize_t n; (n = read(report, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR);)
            if (n > 0)
                message.append(buf, size_t(n));
        close(report);
        report = -1;
        child = -1;
        const bool ok = done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok)
            failure = SaveFailure{folder, message.empty() ? "the saving process ended unexpectedly" : message};
        return true;
    }

    void begin(LocalStore& store)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            failure = SaveFailure{store.folder, std::string("no pipe for the save: ") + std::strerror(errno)};
            return;
        }
        updateProjectionBeforeFork(store);
        notePagesShared();
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid < 0) {
            failure = SaveFailure{store.folder, std::string("could not start the save: ") + std::strerror(errno)};
            close(fds[0]);
            close(fds[1]);
            return;
        }
        if (pid == 0) {
            // Only this thread lives on here, with the memory as it was: the
            // child writes and leaves at once, touching nothing else the
            // parent shares (no destructors, no exit handlers).
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(3);
            close(fds[0]);
            std::string message;
            try {
                saveStore(store);
            } catch (const std::exception& e) {
                message = e.what();
            } catch (...) {
                message = "the save failed";
            }
            if (!message.empty()) {
                ssize_t unused = write(fds[1], message.data(), message.size());
                (void)unused;
                _exit(1);
            }
            _exit(0);
        }
        close(fds[1]);
        child = pid;
        report = fds[0];
        folder = store.folder;
    }
};

StoreSaverPtr newStoreSaver() { return std::make_shared<StoreSaver>(); }

void saveStoreLater(StoreSaver& saver, const LocalStorePtr& store)
{
    store->dirty = false;
    if (store->folder.empty())
        return;
    if (saver.child >= 0 && !saver.reap(false)) {
        // A save of another folder that waits goes first.
        if (saver.queued && saver.queued != store)
            waitForSaves(saver);
        if (saver.child >= 0) {
            saver.queued = store;
            return;
        }
    }
    saver.begin(*store);
}

void pollSaver(StoreSaver& saver)
{
    if (!saver.reap(false) || !saver.queued)
        return;
    LocalStorePtr next = std::move(saver.queued);
    saver.queued = nullptr;
    saver.begin(*next);
}

void waitForSaves(StoreSaver& saver)
{
    saver.reap(true);
    if (saver.queued) {
        LocalStorePtr next = std::move(saver.queued);
        saver.queued = nullptr;
        saver.begin(*next);
        saver.reap(true);
    }
}

std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver)
{
    std::optional<SaveFailure> failure = std::move(saver.failure);
    saver.failure.reset();
    return failure;
}

}  // namespace qm
