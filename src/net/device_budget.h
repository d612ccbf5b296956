#pragma once
// The budget planned on this device before signing in ("local"), once an
// account is open: counting what it holds for the prompt, merging it into
// the account's budget, or removing it. Main thread only.
#include "app/app_state.h"

namespace qm {

// Counts the device budget's own transactions and balance anchors (demo
// records left out) and opens the prompt; writes nothing.
void checkDeviceBudget(AppState& state);
// Adds the device budget's records to the open budget and saves it; only
// then is the device folder removed. False, with an error toast, when it
// could not be read, merged or saved: the open budget is then as before and
// the device budget is kept.
bool mergeDeviceBudget(AppState& state);
void removeDeviceBudget(AppState& state);

}  // namespace qm
