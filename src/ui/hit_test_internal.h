#pragma once
// The hit test asked after a frame, of the widgets the recorder kept: for
// tests that look for controls no click can reach.
#include <cstdint>

#include "ui/context.h"

namespace qm {

// hitTest for a recorded widget, with the clip, layer and window it was drawn
// in. Against the overlays and windows of the frame before the last one, as
// a press in the next frame would see them: run a frame more after a change.
bool hitTestRecorded(const UiContext& ctx, const WidgetRecord& w, double x, double y);
// The recorded widget a press of that button at (x, y) would go to.
const WidgetRecord* pressTarget(const UiContext& ctx, uint8_t button, double x, double y);

}  // namespace qm
