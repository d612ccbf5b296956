#pragma once
// The calendar page: where its pieces go on the desktop, which days the
// month and week views show, and the order in which the pieces run each
// frame. The page keeps nothing between frames beyond the calendar state
// of the AppState and pages/calendar_state.h: the day rows are read afresh
// from the store's projection every frame, so an edit shows on the next one.
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

void drawCalendarPage(AppState& state, const Rect& rect);

// The desktop rectangles of the page, in pixels.
struct CalendarLayout {
    Rect toolbar;
    Rect summary;
    Rect view;           // the day view's area, or the weekday header and the grid
    Rect weekdayHeader;  // the month and week views only
    Rect grid;
    bool fullWeekdayNames = false;  // the view area is wider than 900 dp
};
CalendarLayout calendarLayout(const AppState& state, const Rect& rect);

// Sunday to Saturday of the week that holds the day.
struct WeekRange {
    Date first;
    Date last;
};
WeekRange weekRange(Date day);

// The rows of the grid: one row of seven days in the week view, 5 or 6 weeks
// in the month view, under the account filter. The grid reads them shared
// with the store's projection (the week view's name no month: no day is
// dimmed); calendarRows copies them out.
LedgerWeeks calendarWeeks(const AppState& state);
std::vector<std::vector<DayRow>> calendarRows(const AppState& state);

// One day under the account filter, shared the same way: the day view and
// the day sheet draw it every frame, and a busy day of every account holds
// hundreds of entries. The day is the ledger's only row.
std::shared_ptr<const Ledger> calendarDay(const AppState& state, Date day);

}  // namespace qm
