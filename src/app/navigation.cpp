#include "app/navigation.h"

#include <algorithm>

#include "model/balances.h"
#include "ui/hit_test.h"

namespace qm {

namespace {

Date clampedDay(int32_t year, int32_t month, int32_t day)
{
    return date(year, month, std::clamp(day, 1, daysInMonth(year, month)));
}

}  // namespace

void selectDate(AppState& state, int32_t year, int32_t month, int32_t day)
{
    state.selectedDate = date(year, month, day);
    state.shownMonth = {year, month};
    state.redrawRequested = true;
}

void selectDay(AppState& state, int32_t year, int32_t month, int32_t day)
{
    state.focusedDay = date(year, month, day);
    state.focusedDayValid = true;
    state.selectedOccurrence = {};
    state.redrawRequested = true;
}

void showMonth(AppState& state, int32_t year, int32_t month)
{
    state.shownMonth = {year, month};
    state.selectedDate = clampedDay(year, month, state.selectedDate.day);
    state.redrawRequested = true;
}

void goToToday(AppState& state)
{
    state.selectedDate = state.todayDate;
    state.shownMonth = {state.todayDate.year, state.todayDate.month};
    state.redrawRequested = true;
}

void shiftCalendar(AppState& state, int32_t n)
{
    if (state.view == viewMonth) {
        Date first = addMonths(firstOfMonth(state.shownMonth.year, state.shownMonth.month), n);
        state.shownMonth = {first.year, first.month};
        state.selectedDate = clampedDay(first.year, first.month, state.selectedDate.day);
    } else {
        int64_t days = state.view == viewWeek ? int64_t(7) * n : n;
        state.selectedDate = addDays(state.selectedDate, days);
        state.shownMonth = {state.selectedDate.year, state.selectedDate.month};
    }
    state.redrawRequested = true;
}

std::string monthTitle(const AppState& state)
{
    return monthName(state.shownMonth.month) + " " + std::to_string(state.shownMonth.year);
}

OccurrenceRef occurrenceKey(const LedgerEntry& entry)
{
    return {entry.transaction->id, entry.adjustmentId, entry.date, true};
}

void selectOccurrence(AppState& state, const LedgerEntry& entry)
{
    state.selectedOccurrence = occurrenceKey(entry);
    state.focusedDay = entry.date;
    state.focusedDayValid = true;
    state.redrawRequested = true;
}

std::string calendarViewName(uint8_t view)
{
    switch (view) {
    case viewWeek:
        return "week";
    case viewDay:
        return "day";
    default:
        return "month";
    }
}

std::string pageKindName(uint8_t page)
{
    static const char* const names[] = {"Calendar", "Search", "Reports", "Import", "Help", "Account", "Welcome"};
    return page < 7 ? names[page] : "Calendar";
}

void showPage(AppState& state, uint8_t page)
{
    state.page = page <= pageWelcome ? page : uint8_t(pageCalendar);
    state.framesOnPage = 0;
    state.redrawRequested = true;
}

void switchPage(AppState& state, uint8_t page)
{
    if (page == state.page)
        return;
    if (state.page != pageHelp && state.page != pageAccount)
        state.previousPage = state.page;
    showPage(state, page);
    closePopup(*state.ui);
}

bool isPageActive(const AppState& state, uint8_t page) { return state.page == page && state.framesOnPage == 0; }

void startTour(AppState& state)
{
    state.tourStep = 0;
    state.page = pageCalendar;
    state.framesOnPage = 0;
    state.redrawRequested = true;
}

void registerTourAnchor(AppState& state, const std::string& name, const Rect& rect)
{
    if (state.tourStep < 0)
        return;
    state.tourAnchors[name] = rect;
}

int64_t selectedAccountId(const AppState& state)
{
    const Budget& b = *state.store->budget;
    return validAccountId(b, b.user.selected_account_id);
}

std::string accountFilterLabel(const AppState& state, int64_t accountId)
{
    if (accountId == 0)
        return "All accounts";
    std::optional<size_t> at = findAccount(*state.store->budget, accountId);
    return at ? state.store->budget->accounts[*at].name : "All accounts";
}

bool showsAccountBadge(const AppState& state, const Transaction& transaction)
{
    return isTransfer(transaction) && selectedAccountId(state) == 0;
}

}  // namespace qm
