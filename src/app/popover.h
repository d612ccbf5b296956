#pragma once
// Floating panels beside an anchor: drop-down lists, the date and icon
// pickers and the application's menus. Whether one is open is the toolkit's
// popup; these place it inside the view, draw its frame on a raised layer
// with a padded, clipped column for its content, and draw its entries.
#include <cstdint>
#include <functional>
#include <string_view>

#include "app/app_state.h"

namespace qm {

struct PopoverPlacement {
    bool alignRight = false;  // the panel's right edge on the anchor's rather than its left
    bool above = false;
};

// Where a width x height panel goes beside the anchor: below it unless asked
// or forced above, kept 6 dp inside the view, cut to the view's height less
// 12 dp, every side rounded to whole pixels. The width is never reduced.
Rect placePopover(
    AppState& state, const Rect& anchor, double width, double height, const PopoverPlacement& placement = {});
// Returns the draw layer to hand back to endPopover in the same frame.
int32_t beginPopover(AppState& state, const Rect& rect);
void endPopover(AppState& state, int32_t previousLayer);

// Draws into the box at an entry's left (x, y, width, height).
using LeadingDrawing = std::function<void(const Rect& box)>;

// One entry of a popover menu; true when clicked. Closing the popup is the
// caller's business.
bool menuItem(AppState& state, std::string_view id, std::string_view label, const Rect& rect, bool selected,
    std::string_view detail = {}, const LeadingDrawing& leading = {}, bool danger = false);
void drawDivider(AppState& state, double x0, double x1, double y, Color color);

}  // namespace qm
