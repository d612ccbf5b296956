#include "model/store_saver.h"

#include <condition_variable>
#include <malloc.h>
#include <mutex>
#include <new>
#include <thread>

namespace qm {

struct StoreSaver {
    std::mutex lock;
    std::condition_variable changed;
    LocalStorePtr waiting;  // the next save, not yet begun
    bool writing = false;
    bool stopping = false;
    std::optional<SaveFailure> failure;
    std::thread worker;

    ~StoreSaver()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            stopping = true;
        }
        changed.notify_all();
        if (worker.joinable())
            worker.join();
    }

    void run()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            changed.wait(hold, [&] { return waiting || stopping; });
            if (!waiting)
                return;  // stopping with nothing left to write
            LocalStorePtr copy = std::move(waiting);
            writing = true;
            changed.notify_all();
            hold.unlock();
            std::optional<SaveFailure> failed;
            try {
                saveStore(*copy);
            } catch (const std::bad_alloc&) {
                failed = SaveFailure{copy->folder, "out of memory"};
            } catch (const std::exception& e) {
                failed = SaveFailure{copy->folder, e.what()};
            }
            copy.reset();
            // The copy and the text were as large as the budget: give their
            // pages back rather than hold twice the budget between saves.
            malloc_trim(0);
            hold.lock();
            writing = false;
            if (failed)
                failure = std::move(failed);
            changed.notify_all();
        }
    }
};

StoreSaverPtr newStoreSaver() { return std::make_shared<StoreSaver>(); }

LocalStorePtr copyStoreForSave(const LocalStore& store)
{
    auto copy = std::make_shared<LocalStore>();
    copy->folder = store.folder;
    copy->budget = std::make_shared<Budget>(*store.budget);
    copy->journal = store.journal;
    copy->next_local = store.next_local;
    copy->next_seq = store.next_seq;
    copy->last_sync = store.last_sync;
    copy->etag = store.etag;
    copy->change_count = store.change_count;
    copy->unknown_members = store.unknown_members;
    copy->unknown_meta = store.unknown_meta;
    return copy;
}

void saveStoreLater(StoreSaver& saver, LocalStore& store)
{
    if (store.folder.empty()) {
        store.dirty = false;
        return;
    }
    LocalStorePtr copy = copyStoreForSave(store);
    {
        std::unique_lock<std::mutex> hold(saver.lock);
        // A waiting save of another folder is not replaced: it goes first.
        saver.changed.wait(hold, [&] { return !saver.waiting || saver.waiting->folder == copy->folder; });
        saver.waiting = std::move(copy);
        if (!saver.worker.joinable())
            saver.worker = std::thread([&saver] { saver.run(); });
    }
    saver.changed.notify_all();
    store.dirty = false;
}

void waitForSaves(StoreSaver& saver)
{
    std::unique_lock<std::mutex> hold(saver.lock);
    saver.changed.wait(hold, [&] { return !saver.waiting && !saver.writing; });
}

std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver)
{
    std::lock_guard<std::mutex> hold(saver.lock);
    std::optional<SaveFailure> failure = std::move(saver.failure);
    saver.failure.reset();
    return failure;
}

}  // namespace qm
