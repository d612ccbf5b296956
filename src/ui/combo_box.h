#pragma once
// A drop-down bound to an index into a list of texts: a bar like a text
// field with a chevron, and a popup list of at most 12 rows below it (above
// when there is no room), scrolled by the wheel and a thin bar when longer.
#include <string>
#include <vector>

#include "ui/context.h"

namespace qm {

// True when the user picked an item other than the selected one (the index
// is already updated).
bool comboBox(UiContext& ctx, int64_t id, int32_t& selected, const std::vector<std::string>& items, const Rect& rect,
    bool disabled);
void comboScrollbar(UiContext& ctx, int64_t comboId, ScrollState& state, const Rect& track, double contentHeight);

}  // namespace qm
