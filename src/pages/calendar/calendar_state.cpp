#include "pages/calendar/calendar_state.h"

namespace qm {

ClipboardEntry copyEntry(const LedgerEntry& entry)
{
    ClipboardEntry c;
    if (entry.transaction)
        c.transaction = *entry.transaction;
    c.date = entry.date;
    c.amount = entry.amount;
    c.baseAmount = entry.baseAmount;
    c.signedAmount = entry.signedAmount;
    c.isPaid = entry.isPaid;
    c.adjustmentId = entry.adjustmentId;
    return c;
}

OccurrenceRef occurrenceKey(const ClipboardEntry& entry)
{
    return {entry.transaction.id, entry.adjustmentId, entry.date, true};
}

CalendarPageState& calendarState(AppState& state)
{
    if (!state.calendarPage)
        state.calendarPage = std::make_shared<CalendarPageState>();
    return *state.calendarPage;
}

DragState& dragState(AppState& state)
{
    if (!state.drag)
        state.drag = std::make_shared<DragState>();
    return *state.drag;
}

}  // namespace qm
