#pragma once
// One drawn frame of the application, always in the same order: the UI
// frame opens, the layout flags and today's date are refreshed, the
// workers hand over their results, the action confirmed last frame runs,
// then either the terms page or the header bar, the page and its overlays,
// then the message boxes, toasts, tooltip and splash, and the frame closes.
#include <string>

#include "app/app_state.h"

namespace qm {

// dt in seconds; elapsed, when given, is the time that really passed since
// the frame before (dt may be capped to keep animations smooth), which
// toasts count in.
void drawFrame(AppState& state, double dt, double elapsed = -1);
void drawPage(AppState& state, const Rect& content);
// A file chosen, dropped or given by automation, handed on by the dialog's
// purpose.
void handleFileDialogResult(AppState& state, const std::string& path);
// The purpose of a statement dropped on the window: the Import page reads it.
void importDroppedStatement(AppState& state, const std::string& path);

struct LayoutFlags {
    bool compact = false;
    bool phoneLandscape = false;
};
// From the logical view size; phone is whether QUENMRK_PHONE is set.
LayoutFlags layoutFlags(double logicalWidth, double logicalHeight, bool phone);

}  // namespace qm
