#pragma once
// The short notices that report an action's outcome: expired ones leave,
// live ones stack as cards in a corner, newest lowest. They cannot be
// clicked away; a press on one does not reach what lies beneath.
#include "app/app_state.h"

namespace qm {

void drawToasts(AppState& state);

// The clock toasts last on: seconds of frames as they really passed. The UI
// clock caps a slow frame's step so that animations do not jump, which
// would stretch a toast on a slow renderer to twice its time and more.
void advanceToastClock(double seconds);
double toastClock();

}  // namespace qm
