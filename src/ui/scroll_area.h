#pragma once
// A rectangle whose content is an unbounded column clipped to it and shifted
// up by an offset. The content height is only known at the end, so it sizes
// the scrollbar and clamps the offset one frame later.
#include <string_view>

#include "ui/context.h"

namespace qm {

// Returns the visible content rect (without the scrollbar strip).
Rect beginScrollArea(UiContext& ctx, std::string_view name, const Rect& rect, Color background, bool border);
void endScrollArea(UiContext& ctx, std::string_view name);
// Scrolls the innermost open area so that rect comes into its visible part.
void revealInScrollArea(UiContext& ctx, const Rect& rect);

}  // namespace qm
