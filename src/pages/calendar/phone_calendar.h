#pragma once
// The calendar on a phone or a narrow window: a three-row toolbar, a week
// strip or a compact month grid to pick a day, and that day's sheet with its
// cards and agenda rows; the actions on one occurrence live in a bottom
// sheet instead of a context menu. In phone landscape the pickers and the
// sheet stand side by side. Nothing is kept between frames beyond the
// calendar state, the toolkit's popups and the sheet's scroll offset.
#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

void drawPhoneCalendar(AppState& state, const Rect& rect);
// Returns the y just under the toolbar.
double drawPhoneToolbar(AppState& state, const Rect& rect, Date day, uint8_t view, bool landscape);

// rect.h is ignored: the strip has its own height. Returns the y under it.
double drawPhoneWeekStrip(AppState& state, const Rect& rect, Date focused);
// rowHeightDp <= 0 fits the rows into the rectangle. Returns the y under it.
double drawPhoneMonthGrid(AppState& state, const Rect& rect, double rowHeightDp, bool compact);
void drawDayDots(AppState& state, const DayRow& day, const Rect& rect, double centreY);
Color dayBalanceColor(const Theme& theme, double balance, bool anchored);

void drawDaySheet(AppState& state, const Rect& rect, Date day);
void drawAgendaRow(AppState& state, const LedgerEntry& entry, const Rect& rect, double balanceAfter, int32_t index,
    int64_t sheetPopupId);

// The day the sheet shows: the focused day, else today.
Date phoneSheetDay(const AppState& state);
// The landscape left pane's width in pixels for a content width in pixels.
double phoneLeftPaneWidth(double width);
// The grid's row height in pixels: the given one, or the space below the
// header shared by the weeks (dividing by 1 below two weeks), at least 30 dp.
double phoneGridRowHeight(const AppState& state, double rowHeightDp, double space, size_t weeks);
// "S", "M", ... for a weekday counted from Monday = 0.
std::string weekdayLetter(int32_t weekdayFromMonday);
// The days a week strip shows, Sunday first.
Date phoneStripStart(Date day);

// Where the action sheet goes in a view of that size (pixels).
struct ActionSheetLayout {
    Rect sheet;
    int32_t columns = 1;
    int32_t rows = 8;
    double item = 0;  // an entry's height in pixels
};
ActionSheetLayout actionSheetLayout(const AppState& state);
// The rectangle of entry i in the sheet.
Rect actionSheetEntry(const AppState& state, const ActionSheetLayout& at, int32_t index);

}  // namespace qm
