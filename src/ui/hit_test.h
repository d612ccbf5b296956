#pragma once
// Whether the pointer reaches a widget: layers of the renderer plus the
// overlays, window rectangles and modal layer of the previous frame, so
// whatever was drawn on top shields what lies below. Also the one popup and
// the wheel's routing to scroll areas.
#include <cstdint>

#include "ui/context.h"

namespace qm {

bool hitTest(const UiContext& ctx, const Rect& rect, double x, double y);
bool mouseIn(const UiContext& ctx, const Rect& rect);
Rect uiClip(const UiContext& ctx);
void addOverlayRect(UiContext& ctx, const Rect& rect);

void openPopup(UiContext& ctx, int64_t id, const Rect& anchor);
void setPopupRect(UiContext& ctx, const Rect& rect);
bool isPopupOpen(const UiContext& ctx, int64_t id);
void closePopup(UiContext& ctx);
// A press on this rectangle (the field a popup of hits belongs to) leaves
// the open popup open and reaches the widgets there. Asked for each frame
// while the popup is drawn; a new popup starts without one.
void keepPopupOpenOver(UiContext& ctx, const Rect& rect);

// The distance the area under the pointer scrolls this frame; the first area
// that takes the wheel empties it, so enclosing areas drawn later get 0.
double wheelScroll(UiContext& ctx, int64_t id, const Rect& rect, double step, double barWidth);

}  // namespace qm
