#pragma once
// The Import page: a wizard that takes a bank statement from choosing the
// file, through a review of every row (duplicate and series marks, filters,
// bulk choices, per-row category, account and recurring choices), to the
// summary of what was added.
#include <string>
#include <string_view>

#include "app/page_table.h"

namespace qm {

void drawImportPage(AppState& state, const Rect& rect);
// The current step as a card in the current layout (below the cursor).
void drawImportWizard(AppState& state);

// A pill-shaped button as wide as its label; the rectangle's width is
// ignored. True when clicked.
bool drawImportChip(AppState& state, std::string_view id, std::string_view label, const Rect& rect, Color color,
    bool selected, bool dimmed);
// One filter chip of the review at x (advanced past it and its gap).
void importFilterChip(AppState& state, double& x, std::string_view id, std::string_view label, std::string_view key,
    Color color, const Rect& row);

// Below this list width (dp) rows take their compact two-line form, since
// the wide columns would run past the box.
inline constexpr double kImportWideListMin = 996;

// Puts the Import page, the statement load and the OFX export into the page
// table.
void fillImportPageTable(PageTable& table);

}  // namespace qm
