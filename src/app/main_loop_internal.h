#pragma once
// Steps of the loop that tests drive one at a time.
#include "app/app_state.h"
#include "platform/events.h"
#include "ui/input.h"

namespace qm {

// One window event by its kind: to the UI, to the file dialog's result, a
// save request, or dropped while the splash shows.
void dispatchEvent(AppState& state, const WindowEvent& e);

// Dispatches the next frame's share of the waiting input (takeFrameInput);
// true while input waits or settles, so that the frame is drawn.
bool dispatchOneFrame(AppState& state, InputQueue& input);

}  // namespace qm
