#pragma once
// What the calendar pages keep between frames beside the shell's own
// calendar fields: the calendar clipboard, the day and transaction menus'
// targets, the toolbar's search text and a drag in progress. Nothing here
// points into the budget: occurrences are named by OccurrenceRef and looked
// up again before any action.
#include <cstdint>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "model/budget.h"
#include "model/ledger.h"

namespace qm {

enum ClipboardMode : uint8_t {
    clipEmpty = 0,
    clipCut = 1,
    clipCopy = 2,
};

// A ledger entry taken off the calendar: its own copy of the transaction,
// so that a later edit of the budget neither changes nor invalidates it.
struct ClipboardEntry {
    Transaction transaction;
    Date date;
    double amount = 0;
    double baseAmount = 0;
    double signedAmount = 0;
    bool isPaid = false;
    int64_t adjustmentId = 0;
};

ClipboardEntry copyEntry(const LedgerEntry& entry);
OccurrenceRef occurrenceKey(const ClipboardEntry& entry);

// An occurrence pressed on and possibly being dragged to another day.
struct DragState {
    OccurrenceRef item;
    bool armed = false;   // pressed on the item; not yet moved far enough to drag
    bool active = false;  // being dragged
    double startX = 0;    // where the press was, in pixels
    double startY = 0;
    Date targetDate;  // the tile under the pointer while dragging
    bool hasTarget = false;
    int32_t handledFrame = -1;  // the UI frame in which the grid last looked after it
};

struct MonthFiguresCache;
struct SearchPopoverCache;

struct CalendarPageState {
    ClipboardEntry clipboard;
    uint8_t clipboardMode = clipEmpty;
    Date clipboardDate;  // the date the item was shown on when it was cut or copied
    Date dayMenuDay;
    // The occurrence of the open transaction menu or action sheet, and the
    // one a "delete-tx" confirmation deletes.
    OccurrenceRef menuTarget;
    std::string searchText;
    std::shared_ptr<SearchPopoverCache> searchPopover;
    // The month figures last shown, kept while the budget is unchanged.
    std::shared_ptr<MonthFiguresCache> monthFigures;
};

// The records, made on first use.
CalendarPageState& calendarState(AppState& state);
DragState& dragState(AppState& state);

}  // namespace qm
