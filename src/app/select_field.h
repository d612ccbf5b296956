#pragma once
// A drop-down field choosing one entry of the caller's list. An entry can
// show a coloured dot or an icon badge, and a smaller line under its label;
// optionally a "none" choice heads the list and an action link (for
// instance one opening a dialog to manage the entries) closes it. The list
// opens in a popover and scrolls past eight entries.
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

// The budget's categories by name, each with its colour (fallback where it
// has none usable) and icon, valued by id. Hidden ones are left out, except
// the one named keepHidden: a record still filed under it must show it.
std::vector<SelectOption> categorySelectOptions(const Budget& b, std::string_view keepHidden, Color fallback);

// An empty noneLabel gives no none entry, an empty actionLabel no action
// link; the closed field shows the chosen entry's dot unless it is fully
// transparent.
SelectResult selectField(AppState& state, std::string_view name, std::string_view currentLabel,
    const std::vector<SelectOption>& options, int32_t selected, const Rect& rect, std::string_view noneLabel,
    std::string_view actionLabel, Color dot, bool disabled);

}  // namespace qm
