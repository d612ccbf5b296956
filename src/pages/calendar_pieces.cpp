// The calendar's pieces that are still to come. The bands show where each
// will go, in the tints the finished pieces use; the rest draw nothing.
#include "pages/calendar_pieces.h"

#include "platform/render/primitives.h"
#include "ui/theme.h"

namespace qm {

namespace {

void band(AppState& state, const Rect& rect, int32_t tint)
{
    fillRect(*state.renderer, rect, tintColor(state.ui->theme, tint));
}

}  // namespace

void drawCalendarToolbar(AppState& state, const Rect& rect) { band(state, rect, 1); }
void drawMonthSummary(AppState& state, const Rect& rect) { band(state, rect, 2); }
void drawNarrowCalendar(AppState&, const Rect&) { }
void drawDayMenu(AppState&) { }
void drawTransactionMenu(AppState&) { }
void handleCalendarShortcuts(AppState&) { }

}  // namespace qm
