#pragma once
// The application's buttons: the toolkit's styles in the shell's own look,
// an optional leading named icon, a disabled look and the hand cursor; an
// icon-only button; and a segmented control of mutually exclusive choices.
// Unlike the toolkit's buttons they leave no line in the action trail.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "ui/button.h"

namespace qm {

struct StyledButtonOptions {
    ButtonStyle style = buttonNormal;
    std::string_view icon = {};  // a built-in icon name drawn before the label; empty for none
    bool disabled = false;
    double fontSize = 0;  // pixels; 0 or less means 13 dp
};

// True when clicked and enabled.
bool button(AppState& state, std::string_view id, std::string_view label, const Rect& rect,
    const StyledButtonOptions& options = {});
// 34 dp high from the layout. width > 0 is used as is; otherwise a column
// sizes the button to its label and a row decides.
bool flowButton(AppState& state, std::string_view id, std::string_view label, const StyledButtonOptions& options = {},
    double width = 0);

struct IconOnlyOptions {
    std::string_view tooltip = {};  // shown on hover; empty for none
    bool accent = false;            // filled with the accent colour
    bool disabled = false;
    Color tint = colorTransparent;  // the plain look's icon colour when its alpha is above 0
};

bool iconOnlyButton(
    AppState& state, std::string_view id, std::string_view icon, const Rect& rect, const IconOnlyOptions& options = {});
// True when a segment other than the selected one was clicked; selected
// then names it.
bool segmentedControl(
    AppState& state, std::string_view id, int32_t& selected, const std::vector<std::string>& labels, const Rect& rect);

}  // namespace qm
