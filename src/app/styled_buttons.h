#pragma once
// The application's buttons: named styles ("primary", "danger", "ghost",
// "ghost-danger", "link", anything else standard), an optional leading
// named icon, a disabled look and the hand cursor; an icon-only button; and
// a segmented control of mutually exclusive choices. Unlike the toolkit's
// buttons they leave no line in the action trail.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"

namespace qm {

// fontSize in pixels; 0 or less means 13 dp. True when clicked and enabled.
bool button(AppState& state, std::string_view id, std::string_view label, const Rect& rect, std::string_view style,
    std::string_view icon, bool disabled, double fontSize = 0);
// 34 dp high from the layout. width > 0 is used as is; otherwise a column
// sizes the button to its label and a row decides.
bool flowButton(AppState& state, std::string_view id, std::string_view label, std::string_view style,
    std::string_view icon, double width, bool disabled);
// tint is used for the plain look's icon when its alpha is above 0.
bool iconOnlyButton(AppState& state, std::string_view id, std::string_view icon, const Rect& rect,
    std::string_view tooltipText, bool accent, bool disabled, Color tint = colorTransparent);
// True when a segment other than the selected one was clicked; selected
// then names it.
bool segmentedControl(
    AppState& state, std::string_view id, int32_t& selected, const std::vector<std::string>& labels, const Rect& rect);

}  // namespace qm
