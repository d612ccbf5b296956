#include "model/store_saver.h"

#include "core/errors.h"
#include "core/ui_wake.h"
#include "model/store_text_internal.h"

#include <pthread.h>

#include <atomic>
#include <thread>

namespace qm {

struct StoreSaver {
    std::thread writer;                // the save under way, if any
    std::atomic<bool> ended{false};    // set by the writer when its files are done
    std::string message;               // the writer's failure, empty on success; read once ended
    std::string folder;                // the folder it writes
    std::weak_ptr<LocalStore> saving;  // the store it was frozen from
    LocalStorePtr queued;              // a save asked for while it runs
    std::optional<SaveFailure> failure;
    std::string lastFailure;
    SaveTicket asked = 0;          // the last ticket handed out
    SaveTicket running = 0;        // the last ticket the save under way holds
    SaveTicket landed = 0;         // the last ticket on disk
    SaveTicket failedThrough = 0;  // the last ticket of the last failed save

    ~StoreSaver() { reap(true); }

    // Notes the end of the save under way; false when it still runs.
    bool reap(bool wait)
    {
        if (!writer.joinable())
            return true;
        if (!wait && !ended.load(std::memory_order_acquire))
            return false;
        writer.join();
        if (message.empty())
            landed = running;
        else
            fail(message);
        message.clear();
        // The lists' copies kept for the writer go now, not at the next edit.
        if (LocalStorePtr store = saving.lock()) {
            store->budget->transactions.thaw();
            store->budget->transaction_adjustments.thaw();
        }
        saving.reset();
        return true;
    }

    void fail(const std::string& text)
    {
        failure = SaveFailure{folder, text};
        lastFailure = text;
        failedThrough = running;
    }

    void begin(const LocalStorePtr& store)
    {
        running = asked;
        folder = store->folder;
        saving = store;
        ended.store(false, std::memory_order_relaxed);
        try {
            auto frozen = std::make_shared<FrozenStore>(freezeStore(*store));
            writer = std::thread([this, frozen]() mutable {
                // Named, so that a save under way can be seen from outside
                // (ps, a debugger, the tests that end the program mid-save).
                pthread_setname_np(pthread_self(), "quenmrk-save");
                std::string text;
                try {
                    saveFrozenStore(*frozen);
                } catch (const std::exception& e) {
                    text = *e.what() ? e.what() : "the save failed";
                } catch (...) {
                    text = "the save failed";
                }
                // The frozen lists let go before the save counts as ended,
                // so that the UI thread finds them free to thaw.
                frozen.reset();
                message = std::move(text);
                ended.store(true, std::memory_order_release);
                wakeUiThread();
            });
        } catch (const std::exception& e) {
            fail(std::string("could not start the save: ") + e.what());
        }
    }
};

StoreSaverPtr newStoreSaver() { return std::make_shared<StoreSaver>(); }

SaveTicket saveStoreLater(StoreSaver& saver, const LocalStorePtr& store)
{
    store->dirty = false;
    if (store->folder.empty())
        return 0;
    // A save of another folder that waits goes first, with the tickets it
    // already holds.
    if (!saver.reap(false) && saver.queued && saver.queued != store)
        waitForSaves(saver);
    const SaveTicket ticket = ++saver.asked;
    if (!saver.reap(false))
        saver.queued = store;
    else
        saver.begin(store);
    return ticket;
}

void pollSaver(StoreSaver& saver)
{
    if (!saver.reap(false) || !saver.queued)
        return;
    LocalStorePtr next = std::move(saver.queued);
    saver.queued = nullptr;
    saver.begin(next);
}

void waitForSaves(StoreSaver& saver)
{
    saver.reap(true);
    if (saver.queued) {
        LocalStorePtr next = std::move(saver.queued);
        saver.queued = nullptr;
        saver.begin(next);
        saver.reap(true);
    }
}

SaveState saveState(const StoreSaver& saver, SaveTicket ticket)
{
    if (ticket <= saver.landed)
        return SaveState::saved;
    if (ticket <= saver.failedThrough)
        return SaveState::failed;
    return SaveState::pending;
}

std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver)
{
    std::optional<SaveFailure> failure = std::move(saver.failure);
    saver.failure.reset();
    return failure;
}

const std::string& lastSaveFailure(const StoreSaver& saver) { return saver.lastFailure; }

}  // namespace qm
