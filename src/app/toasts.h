#pragma once
// The short notices that report an action's outcome: expired ones leave,
// live ones stack as cards in a corner, newest lowest. They cannot be
// clicked away; a press on one does not reach what lies beneath.
#include "app/app_state.h"

namespace qm {

void drawToasts(AppState& state);

}  // namespace qm
