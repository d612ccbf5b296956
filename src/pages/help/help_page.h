#pragma once
// The Help page: a toolbar with Back, Forward, the contents toggle of narrow
// windows, the tour button and the search field; beside the reading panel,
// the book's contents or the search results (one panel at a time when the
// window is narrow). Other pages send the user to a section by its anchor.
#include <string_view>

#include "app/app_state.h"
#include "app/page_table.h"

namespace qm {

// One frame of the page in the content rectangle.
void helpPage(AppState& state, const Rect& rect);

// Switches to the Help page at the section with that anchor id, or at the
// book's first section when no section has it.
void openHelpAnchor(AppState& state, std::string_view id);

// Puts the page into the installed page table.
void fillHelpPageTable(PageTable& table);

}  // namespace qm
