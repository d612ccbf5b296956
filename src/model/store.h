#pragma once
// The open budget and its folder: "data.json" holds the document plus a
// "meta" object, "journal.json" the changes the web service has not yet
// acknowledged. The store never saves by itself; a save replaces both files
// as one change, so a crash leaves the old pair or the new pair, never a
// mixture, and an opening completes a save that was past its point of no
// return.
#include "core/errors.h"
#include "model/budget.h"
#include "model/journal.h"

#include <cstdint>
#include <experimental/propagate_const>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct BudgetProjection;

struct LocalStore {
    std::string folder;  // "" = never written
    // Through a const store the budget is const too, so code that was handed
    // a const LocalStore& (every reader) cannot change it by accident; only
    // the edit, sync and store functions take the store mutable.
    std::experimental::propagate_const<BudgetPtr> budget;
    std::vector<JournalOp> journal;  // oldest first
    int64_t next_local = -1;         // ids made here count down from -1
    int32_t next_seq = 1;
    bool dirty = false;
    double last_sync = 0;  // Unix seconds of the last snapshot installed; 0 = never
    std::string etag;
    int32_t change_count = 0;  // never reset
    // The highest seq a sync request carried whose reply has not been
    // applied; 0 when none is. Stored (meta "sent_up_to"), as the service
    // may have applied the request even when the process ended before its
    // reply came: those ops must still count as sent.
    int32_t sent_up_to = 0;
    // Top-level members of data.json that the program does not know, kept
    // to be written back unchanged; none when there were none.
    JsonPtr unknown_members;
    // The same inside "meta".
    JsonPtr unknown_meta;
    // The budget's figures as of change_count, made when first asked (see
    // storeProjection); not stored.
    mutable std::shared_ptr<BudgetProjection> projection;
};

// data.json or journal.json cannot be used as it is: not JSON, not the
// shape of a budget or a journal, or not a file at all. The files are left
// untouched. `file` is the file's bare name, `reason` what is wrong with it.
struct StoreShapeError : ValueError {
    StoreShapeError(std::string file, std::string reason);
    std::string file;
    std::string reason;
};

// The file holds what only a newer version can read without losing it (see
// NewerFormatError); `reason` names it.
struct NewerBudgetError : StoreShapeError {
    using StoreShapeError::StoreShapeError;
};

using LocalStorePtr = std::shared_ptr<LocalStore>;

LocalStorePtr newLocalStore(std::string folder);
// Missing files give an empty budget or journal; a file that cannot be read
// raises IOError, any other unusable file StoreShapeError (NewerBudgetError
// for a newer version's). Finishes an interrupted save whose new data.json
// holds a budget (a stray one is set aside instead) and removes temporaries
// that earlier saves left.
LocalStorePtr openStore(const std::string& folder);
// Adds the built-in records to a budget that lacks them; a budget without
// categories and accounts also journals the new ones.
void seedStore(LocalStore& store);
// Writes both files, even when nothing changed; raises IOError on failure,
// leaving the store dirty. Folders it makes and files it creates are the
// owner's alone.
void saveStore(LocalStore& store);

std::string storeDataJson(const LocalStore& store);
std::string storeJournalJson(const LocalStore& store);

// dirty := true and change_count += 1.
void markDirty(LocalStore& store);
// Gives next_local and moves it one down.
int64_t nextLocalId(LocalStore& store);
size_t pendingOpCount(const LocalStore& store);

// A sync request is about to carry every op up to the newest: coalescing
// leaves those ops alone until clearSentMark. Gives that newest seq (0 when
// the journal is empty).
int32_t markSent(LocalStore& store);
// The reply has been applied or the request failed.
void clearSentMark(LocalStore& store);

}  // namespace qm
