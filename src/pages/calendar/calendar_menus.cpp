// The day and transaction context menus. A chosen entry is carried out
// after the menu is drawn: the entries' texts point into the budget, which
// the action may change.
#include "app/budget_io.h"
#include "app/navigation.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/recurrence.h"
#include "pages/calendar/calendar_page.h"
#include "pages/calendar/calendar_page_internal.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "ui/hit_test.h"
#include "ui/menu.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

enum class MenuAction {
    none,
    add,
    addIncome,
    addTransfer,
    paste,
    openDay,
    setBalance,
    removeAnchor,
    edit,
    adjust,
    paid,
    move,
    duplicate,
    cut,
    copy,
    remove,
};

bool clipboardFull(AppState& state) { return calendarState(state).clipboardMode != clipEmpty; }

bool anchoredOn(const AppState& state, Date day) { return calendarDay(state, day)->days.front().anchored; }

void removeDayAnchor(AppState& state, Date day)
{
    if (!removeAnchor(*state.store, day, selectedAccountId(state)))
        return;
    saveBudget(state);
    showSuccess(state, "Balance adjustment removed");
}

// The actions the two menus share, on a day.
void actOnDay(AppState& state, MenuAction action, Date day)
{
    switch (action) {
    case MenuAction::add:
        openAddTransaction(state, txExpense, day);
        break;
    case MenuAction::addIncome:
        openAddTransaction(state, txIncome, day);
        break;
    case MenuAction::addTransfer:
        openAddTransaction(state, txTransfer, day);
        break;
    case MenuAction::paste:
        pasteOnDay(state, day);
        break;
    case MenuAction::openDay:
        state.view = viewDay;
        selectDate(state, day.year, day.month, day.day);
        selectDay(state, day.year, day.month, day.day);
        break;
    case MenuAction::setBalance:
        openSetRunningBalance(state, day.year, day.month, day.day);
        break;
    case MenuAction::removeAnchor:
        removeDayAnchor(state, day);
        break;
    default:
        break;
    }
}

void pick(MenuAction& chosen, MenuAction action, bool clicked)
{
    if (clicked)
        chosen = action;
}

}  // namespace

void drawDayMenu(AppState& state)
{
    UiContext& ui = *state.ui;
    if (!contextMenu(ui, "day", dp(*state.ui, 240)))
        return;
    Date day = calendarState(state).dayMenuDay;
    const std::shared_ptr<const Ledger> kept = calendarDay(state, day);
    const DayRow& row = kept->days.front();
    MenuAction chosen = MenuAction::none;
    menuEntry(ui, longDate(day), "", false, icNone);
    menuEntry(ui, "Balance " + formatMoney(row.balance), "", false, icNone);
    menuSeparator(ui);
    pick(chosen, MenuAction::add, menuEntry(ui, "Add transaction", "+", true, icNone));
    pick(chosen, MenuAction::addIncome, menuEntry(ui, "Add income", "", true, icNone));
    pick(chosen, MenuAction::addTransfer, menuEntry(ui, "Add transfer", "", true, icNone));
    if (clipboardFull(state))
        pick(chosen, MenuAction::paste, menuEntry(ui, "Paste", "Ctrl+V", true, icNone));
    menuSeparator(ui);
    pick(chosen, MenuAction::openDay, menuEntry(ui, "Open day view", "", true, icNone));
    menuSeparator(ui);
    pick(chosen, MenuAction::setBalance, menuEntry(ui, "Set running balance\u2026", "", true, icNone));
    if (row.anchored)
        pick(chosen, MenuAction::removeAnchor, menuEntry(ui, "Remove balance adjustment", "", true, icNone));
    endMenu(ui);
    actOnDay(state, chosen, day);
}

void drawTransactionMenu(AppState& state)
{
    UiContext& ui = *state.ui;
    // The narrow layout acts on a line through its day sheet: a menu left
    // open when the window narrowed would only hold the keys.
    if (state.compact && isPopupOpen(ui, widgetId(ui, "ctxtx")))
        closePopup(ui);
    // And the other way round: the desktop has no action sheet to draw.
    if (!state.compact && isPopupOpen(ui, widgetId(ui, "txsheet")))
        closePopup(ui);
    if (!contextMenu(ui, "tx", dp(*state.ui, 250)))
        return;
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, calendarState(state).menuTarget);
    if (!found) {
        endMenu(ui);
        return;
    }
    const LedgerEntry& e = *found;
    const Transaction& tx = *e.transaction;
    OccurrenceRef ref = occurrenceKey(e);
    Date day = e.date;
    std::string figure = formatMoney(e.amount);
    if (e.isPaid)
        figure += " \u00b7 Paid";
    if (tx.is_recurring) {
        figure += " \u00b7 ";
        figure += describeRule(tx.recurring_period);
    }
    MenuAction chosen = MenuAction::none;
    menuEntry(ui, tx.description, "", false, icNone);
    menuEntry(ui, figure, "", false, icNone);
    menuSeparator(ui);
    pick(chosen, MenuAction::edit, menuEntry(ui, "Edit transaction", "Enter", true, icNone));
    pick(chosen, MenuAction::adjust, menuEntry(ui, "Adjust amount\u2026", "", true, icNone));
    pick(chosen, MenuAction::paid, menuEntry(ui, e.isPaid ? "Mark as Unpaid" : "Mark as Paid", "", true, icNone));
    pick(chosen, MenuAction::move, menuEntry(ui, "Move to date\u2026", "", true, icNone));
    pick(chosen, MenuAction::duplicate, menuEntry(ui, "Duplicate", "Ctrl+D", true, icNone));
    menuSeparator(ui);
    pick(chosen, MenuAction::cut, menuEntry(ui, "Cut", "Ctrl+X", true, icNone));
    pick(chosen, MenuAction::copy, menuEntry(ui, "Copy", "Ctrl+C", true, icNone));
    if (clipboardFull(state))
        pick(chosen, MenuAction::paste, menuEntry(ui, "Paste", "Ctrl+V", true, icNone));
    menuSeparator(ui);
    pick(chosen, MenuAction::add, menuEntry(ui, "Add transaction here", "", true, icNone));
    pick(chosen, MenuAction::setBalance, menuEntry(ui, "Set running balance\u2026", "", true, icNone));
    if (anchoredOn(state, day))
        pick(chosen, MenuAction::removeAnchor, menuEntry(ui, "Remove balance adjustment", "", true, icNone));
    menuSeparator(ui);
    pick(chosen, MenuAction::remove, menuEntry(ui, "Delete transaction", "Delete", true, icNone));
    endMenu(ui);

    switch (chosen) {
    case MenuAction::edit:
        openEditTransaction(state, e);
        break;
    case MenuAction::adjust:
        openAdjustAmount(state, ref);
        break;
    case MenuAction::paid:
        togglePaid(state, ref);
        break;
    case MenuAction::move:
        openMoveTransaction(state, ref);
        break;
    case MenuAction::duplicate:
        duplicateOccurrence(state, ref, day);
        break;
    case MenuAction::cut:
        cutOccurrence(state, ref);
        break;
    case MenuAction::copy:
        copyOccurrence(state, ref);
        break;
    case MenuAction::remove:
        confirmDeleteTransaction(state, ref);
        break;
    default:
        actOnDay(state, chosen, day);
        break;
    }
}

}  // namespace qm
