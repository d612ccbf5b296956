#pragma once
// Pieces the two managers share: the line that adds a record by name, and
// placing a control vertically centred in a list row.
#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm {

// A label over a name field and an "Add" button; true when Enter was
// pressed in the field or the button clicked.
bool addByNameRow(AppState& state, std::string_view label, std::string_view fieldId, std::string& name,
    std::string_view placeholder, std::string_view buttonId);

// A w by h rectangle at x, centred in the row's height.
inline Rect centredInRow(const Rect& row, double x, double w, double h) { return {x, row.y + (row.h - h) / 2, w, h}; }

}  // namespace qm
