#pragma once
// The month and week views' grid of day tiles and the lines on them, the
// day view's table rows, and dragging an occurrence from one tile to
// another. The weekday header, the grid and the day view themselves are
// declared with the page's other pieces (pages/calendar/calendar_page_internal.h).
#include <string>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

// dimmed: a day of a neighbouring month in the month view.
void drawDayTile(AppState& state, const DayRow& day, const Rect& rect, bool dimmed);
// index: the line's place in its tile, or kGhostLine for the dragged copy.
// True when the pointer is over the line.
bool drawTransactionLine(AppState& state, const LedgerEntry& entry, const Rect& rect, int32_t index);
inline constexpr int32_t kGhostLine = 999;
// One entry of the day view's table; true when it was clicked.
bool drawDayViewRow(
    AppState& state, const LedgerEntry& entry, const Rect& rect, double balanceAfter, int32_t index, bool showBalance);

// The day view's content column in dp for a view area that wide in dp.
double dayViewContentWidth(double widthDp);

// How many 20 dp lines (with 1 dp gaps) a clip of that height holds, and how
// many of n entries a tile draws: all when they fit, else one slot less to
// make room for the "+N more" row.
struct TileLines {
    int32_t fit = 0;
    int32_t drawn = 0;
    bool moreRow = false;
};
TileLines tileLines(double clipHeightDp, size_t entries);

// Whether a description matches the toolbar's search text: trimmed,
// lower-cased, contained anywhere.
bool matchesGridSearch(const std::string& description, const std::string& searchText);

// A row's second line: "Adjustment", the transfer's accounts (after
// "Transfer · " when transferWord), or the category ("Uncategorized"), and
// the recurrence after " · ".
std::string transactionSubtitle(const Transaction& transaction, bool transferWord);

// The hover text of a line: description, amount, original amount,
// category, accounts and the recurrence, a line each.
std::string transactionLineTooltip(const LedgerEntry& entry, bool adjusted);

// Forgets a drag the grid did not look after in this frame (another view,
// page or layout, or a modal window over the page), so that a later grid
// never drops it where the pointer happens to be. Runs every frame after
// the page.
void settleDrag(AppState& state);

}  // namespace qm
