#pragma once
// Changing where the user is: which month the calendar shows, today's cell,
// the chosen occurrence, the page, the guided tour's targets and the account
// filter. Every change updates what depends on it and requests a redraw.
#include <string>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

void selectDate(AppState& state, int32_t year, int32_t month, int32_t day);
void selectDay(AppState& state, int32_t year, int32_t month, int32_t day);
// The selected day keeps its number, clamped to the month's length.
void showMonth(AppState& state, int32_t year, int32_t month);
void goToToday(AppState& state);
// n months, weeks or days by the current view.
void shiftCalendar(AppState& state, int32_t n);
std::string monthTitle(const AppState& state);
OccurrenceRef occurrenceKey(const LedgerEntry& entry);
void selectOccurrence(AppState& state, const LedgerEntry& entry);
std::string calendarViewName(uint8_t view);
std::string pageKindName(uint8_t page);
// Shows the page and restarts the count of frames on it.
void showPage(AppState& state, uint8_t page);
// How the user moves between pages: besides showPage, remembers the page
// left as the one to return to (never Help or Account, which are asides) and
// closes the open popup. Switching to the page shown changes nothing.
void switchPage(AppState& state, uint8_t page);
// Whether this frame is the first one drawn since the page was shown.
bool isPageActive(const AppState& state, uint8_t page);
void startTour(AppState& state);
void registerTourAnchor(AppState& state, const std::string& name, const Rect& rect);
int64_t selectedAccountId(const AppState& state);
std::string accountFilterLabel(const AppState& state, int64_t accountId);
bool showsAccountBadge(const AppState& state, const Transaction& transaction);

}  // namespace qm
