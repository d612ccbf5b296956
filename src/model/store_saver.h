#pragma once
// Saves of the open store on a thread of their own, so that an edit costs
// the UI thread a copy of the records rather than the writing of a large
// budget. Each save is a whole copy of the store taken at one moment (budget,
// journal and meta together), written by saveStore's one change of both
// files; saves are written in the order they were handed over, and one
// handed over while another waits replaces it, as it holds all the waiting
// one held. Nothing else ever writes the folder while a save is under way.
#include "model/store.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qm {

struct StoreSaver;
using StoreSaverPtr = std::shared_ptr<StoreSaver>;

// The thread starts with the first save and ends with the saver, which
// first finishes every save handed over.
StoreSaverPtr newStoreSaver();

// Copies the store as it is now, hands the copy over and marks the store
// clean; returns at once. A store without a folder is only marked clean.
void saveStoreLater(StoreSaver& saver, LocalStore& store);

// Returns when every save handed over is on disk or has failed.
void waitForSaves(StoreSaver& saver);

struct SaveFailure {
    std::string folder;
    std::string message;
};

// The latest failure since the last call, if any; the failed changes are
// still in memory only, and the store they came from must be marked dirty
// again by the caller.
std::optional<SaveFailure> takeSaveFailure(StoreSaver& saver);

// A copy of the store for writing elsewhere: its budget, journal and meta,
// sharing the parts that are never changed in place.
LocalStorePtr copyStoreForSave(const LocalStore& store);

}  // namespace qm
