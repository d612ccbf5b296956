#pragma once
// Saves of the open store made beside the UI thread, so that an edit costs
// it a moment rather than the writing of a large budget. A save is written
// by a child process forked at the moment the save begins: the child sees
// the store as it was then (budget, journal and meta together, whatever the
// parent changes afterwards), writes it with saveStore's one change of both
// files and ends. One save is under way at a time: a save asked for
// meanwhile begins when that one ends, from the store as it is then, which
// holds everything the saves asked for in between. A child dies with its
// parent, so a killed program leaves one whole save, as a killed save does.
#include "model/store.h"

#include <memory>
#include <optional>
#include <string>

namespace qm {

struct StoreSaver;
using StoreSaverPtr = std::shared_ptr<StoreSaver>;

// Its end waits for the save under way, not for one still to begin.
StoreSaverPtr newStoreSaver();

// Begins a save of the store, or has one begin after the one under way;
// marks the store clean and returns at once. A store without a folder is
// only marked clean.
void saveStoreLater(StoreSaver& saver, const LocalStorePtr& store);

// Notes a save that has ended and begins the one asked for meanwhile;
// never waits. Call it often (every frame).
void pollSaver(StoreSaver& saver);

// Returns when every save asked for is on disk or has failed.
void waitForSaves(StoreSaver& saver);

struct SaveFailure {
    std::string folder;
    std::string message;
};

// The latest failure since the last call, if any; the failed changes are
// still in memory only, and the store they came from must be marked dirty
// again by the caller.
std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver);

}  // namespace qm
