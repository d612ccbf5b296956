#pragma once
// A drop-down field choosing one entry of the caller's list: each entry may
// carry a colour dot or an icon badge and a second line; the list may start
// with a "none" entry and end with an action link (one that opens a
// management dialog, say). The list opens in a popover and scrolls past
// eight entries.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"

namespace qm {

struct SelectOption {
    std::string label;
    std::string detail;  // a second line; empty for none
    Color color{};       // a dot, or the badge's colour; alpha 0 for none
    std::string icon;    // a built-in icon name; empty for none
    int64_t iconId = 0;  // a budget icon whose picture is preferred
    int64_t value = 0;   // the caller's own
};

struct SelectResult {
    bool changed = false;
    int32_t index = -1;  // the chosen entry; -1 the none entry
    bool action = false;
};

// An empty noneLabel gives no none entry, an empty actionLabel no action
// link; the dot is drawn in the closed field when its alpha is above 0.
SelectResult selectField(AppState& state, std::string_view name, std::string_view currentLabel,
    const std::vector<SelectOption>& options, int32_t selected, const Rect& rect, std::string_view noneLabel,
    std::string_view actionLabel, Color dot, bool disabled);

}  // namespace qm
