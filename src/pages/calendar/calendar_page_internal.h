#pragma once
// The pieces of the calendar page, each drawn in the rectangle the page
// gives it, and the menus and shortcuts that run after the view in both
// layouts.
#include <vector>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

void drawCalendarToolbar(AppState& state, const Rect& rect);
void drawMonthSummary(AppState& state, const Rect& rect);
void drawWeekdayHeader(AppState& state, const Rect& rect, bool fullNames);
// weekMode: one row of seven taller tiles.
void drawCalendarGrid(AppState& state, const Rect& rect, const LedgerWeeks& rows, bool weekMode);
void drawDayView(AppState& state, const Rect& rect);
void drawNarrowCalendar(AppState& state, const Rect& rect);
void drawDayMenu(AppState& state);
void drawTransactionMenu(AppState& state);
void handleCalendarShortcuts(AppState& state);
// Month, week or day around the focused day: the view switch and its keys.
void showCalendarView(AppState& state, uint8_t view);

}  // namespace qm
