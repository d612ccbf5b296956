#pragma once
// After a sync the service's ids replace the local (negative) ids of records
// made on this device. The budget is renamed by the model; what the pages
// hold between frames (the selection, the menu target, a drag, the
// clipboard, the form, the dialogs' references, pending deletions, the
// balance rows and the search's account filter) is renamed here, so that it
// still names the same records.
// The sync calls this through the page table after every remapDataIds of
// the same entity.
#include <vector>

#include "app/app_state.h"
#include "model/journal.h"
#include "model/store_sync.h"

namespace qm {

void remapPageIds(AppState& state, Entity entity, const std::vector<IdPair>& mapping);

}  // namespace qm
