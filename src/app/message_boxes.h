#pragma once
// The program's one message box (title, text, OK) and one confirmation box
// (title, text, cancel, confirm). Confirming calls nothing: it hands the
// box's action id to the state, and the next frame carries it out.
#include "app/app_state.h"

namespace qm {

// Every frame, after the pages and before the toasts.
void drawMessageBoxes(AppState& state);

}  // namespace qm
