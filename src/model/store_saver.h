#pragma once
// Saves of the open store made beside the UI thread, so that an edit costs
// it a moment rather than the writing of a large budget. A save is written
// by a thread of its own from the store as it was when the save began:
// the long record lists frozen (an edit meanwhile copies the few records
// around the ones it changes, for the writer), the rest copied. It writes
// with saveStore's one change of both files. One save is under way at a
// time: a save asked for meanwhile begins when that one ends, from the store
// as it is then, which holds everything the saves asked for in between. A
// killed program leaves one whole save, as a killed save does.
#include "model/store.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qm {

struct StoreSaver;
using StoreSaverPtr = std::shared_ptr<StoreSaver>;

// Its end waits for the save under way, not for one still to begin.
StoreSaverPtr newStoreSaver();

// Names the save that holds the store as it was when it was asked for; 0
// for a store that has nothing to write.
using SaveTicket = uint64_t;

// Begins a save of the store, or has one begin after the one under way;
// marks the store clean and returns at once. A store without a folder is
// only marked clean.
SaveTicket saveStoreLater(StoreSaver& saver, const LocalStorePtr& store);

// Notes a save that has ended and begins the one asked for meanwhile;
// never waits. Call it often (every frame).
void pollSaver(StoreSaver& saver);

// Returns when every save asked for is on disk or has failed.
void waitForSaves(StoreSaver& saver);

enum class SaveState : uint8_t { pending, saved, failed };
// Whether the store as it was at that ticket is on disk, as pollSaver last
// saw: saved once a save holding it has ended well, failed when the save
// that held it failed and none later has ended well yet.
SaveState saveState(const StoreSaver& saver, SaveTicket ticket);

struct SaveFailure {
    std::string folder;
    std::string message;
};

// The latest failure since the last call, if any; the failed changes are
// still in memory only, and the store they came from must be marked dirty
// again by the caller.
std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver);
// The text of the latest failure, kept after takeSaveFailure.
const std::string& lastSaveFailure(const StoreSaver& saver);

}  // namespace qm
