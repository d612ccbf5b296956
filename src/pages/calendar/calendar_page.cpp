#include "pages/calendar/calendar_page.h"

#include <algorithm>

#include "app/navigation.h"
#include "app/theme_apply.h"
#include "core/errors.h"
#include "model/projection.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_toolbar.h"

namespace qm {

namespace {

constexpr double kSummaryDp = 58;
constexpr double kWeekdayHeaderDp = 30;
constexpr double kFullNamesAboveDp = 900;

Rect below(const Rect& r, double top)
{
    double y = std::min(r.y + top, r.y + r.h);
    return {r.x, y, r.w, std::max(0.0, r.y + r.h - y)};
}

void drawDesktop(AppState& state, const Rect& rect)
{
    CalendarLayout at = calendarLayout(state, rect);
    drawCalendarToolbar(state, at.toolbar);
    drawMonthSummary(state, at.summary);
    if (state.view == viewDay) {
        drawDayView(state, at.view);
        return;
    }
    drawWeekdayHeader(state, at.weekdayHeader, at.fullWeekdayNames);
    drawCalendarGrid(state, at.grid, calendarWeeks(state), state.view == viewWeek);
}

}  // namespace

CalendarLayout calendarLayout(const AppState& state, const Rect& rect)
{
    CalendarLayout at;
    double toolbar = toolbarLayout(state, rect).height, summary = dp(*state.ui, kSummaryDp);
    at.toolbar = {rect.x, rect.y, rect.w, std::min(toolbar, rect.h)};
    Rect rest = below(rect, toolbar);
    at.summary = {rest.x, rest.y, rest.w, std::min(summary, rest.h)};
    at.view = below(rest, summary);
    double header = std::min(dp(*state.ui, kWeekdayHeaderDp), at.view.h);
    at.weekdayHeader = {at.view.x, at.view.y, at.view.w, header};
    at.grid = below(at.view, header);
    // Compared in dp, so that the rule does not hang on the scale's rounding.
    double scale = state.ui && state.ui->scale > 0 ? state.ui->scale : 1.0;
    at.fullWeekdayNames = at.view.w / scale > kFullNamesAboveDp;
    return at;
}

WeekRange weekRange(Date day)
{
    Date first = startOfWeek(day);
    return {first, addDays(first, 6)};
}

LedgerWeeks calendarWeeks(const AppState& state)
{
    const BudgetProjection& p = storeProjection(*state.store);
    int64_t account = selectedAccountId(state);
    if (state.view == viewWeek) {
        WeekRange week = weekRange(state.selectedDate);
        return {sharedLedger(p, week.first, week.last, account, state.todayDate)};
    }
    return monthWeeks(p, state.shownMonth.year, state.shownMonth.month, account, state.todayDate);
}

std::vector<std::vector<DayRow>> calendarRows(const AppState& state) { return copyWeeks(calendarWeeks(state)); }

std::shared_ptr<const Ledger> calendarDay(const AppState& state, Date day)
{
    return sharedLedger(storeProjection(*state.store), day, day, selectedAccountId(state), state.todayDate);
}

void drawCalendarPage(AppState& state, const Rect& rect)
{
    if (isPageActive(state, pageCalendar) && !state.focusedDayValid)
        selectDay(state, state.todayDate.year, state.todayDate.month, state.todayDate.day);
    try {
        if (state.compact)
            drawNarrowCalendar(state, rect);
        else
            drawDesktop(state, rect);
        drawDayMenu(state);
        drawTransactionMenu(state);
        handleCalendarShortcuts(state);
    } catch (const ValueError&) {
        // A date the calendar cannot reach (a year beyond the date range)
        // ends the page's frame here; the state stays as it was.
    }
}

}  // namespace qm
