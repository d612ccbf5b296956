// Move transaction, Delete Recurring Transaction and the prompt about a
// budget kept on this device. The first two act on one occurrence through
// the calendar's occurrence actions; the prompt hands its choice to the
// sync code through the page table.
#include <exception>

#include "app/budget_io.h"
#include "app/date_field.h"
#include "app/form_layout.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "ui/label.h"
#include "ui/layout.h"

namespace qm {

namespace {

std::string counted(int32_t n, const char* noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

// Runs one of the sync code's answers to the prompt: true when it was done.
// A failure it raises is reported here and counts as not done, so that the
// prompt stays and nothing is lost.
bool deviceBudgetStep(AppState& state, const char* what, const std::function<bool()>& step)
{
    try {
        return step();
    } catch (const std::exception& e) {
        showError(state, std::string("Could not ") + what + " the budget on this device: " + e.what());
    }
    return false;
}

}  // namespace

std::string mergeSummary(int32_t transactions, int32_t balances)
{
    std::string text = counted(transactions, "transaction");
    if (balances > 0)
        text += " and " + counted(balances, "balance");
    return text;
}

void openMoveTransaction(AppState& state, const OccurrenceRef& ref)
{
    // The occurrence as the calendar shows it now, so that the move acts on
    // the adjustment that carries it.
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, ref);
    if (!found)
        return;
    MoveDialogState& d = editDialogs(state).move;
    d.occurrence = occurrenceKey(*found);
    d.newDate = found->date;
    d.description = found->transaction->description;
    state.moveWindow->focusOnOpen.clear();
    state.moveWindow->open = true;
    state.redrawRequested = true;
}

void drawMoveDialog(AppState& state)
{
    WindowState& window = *state.moveWindow;
    if (!beginEditDialog(state, "moveform", "Move transaction", window, 420, 240))
        return;
    UiContext& ui = *state.ui;
    MoveDialogState& d = editDialogs(state).move;
    dialogHeadline(state, d.description + " \u00b7 now on " + shortDate(d.occurrence.date));
    addSpace(ui, dp(*state.ui, 8));
    fieldLabel(state, "New date");
    dateField(state, "move-date", d.newDate, nextLayoutRect(ui, rowHeight(ui), 0), false);
    bool move = dialogFooter(state, window, "move-cancel", "move-ok", "Move");
    endEditDialog(state);
    if (!move)
        return;
    window.open = false;
    // Moving onto its own day changes nothing and says nothing.
    int32_t before = state.store->change_count;
    moveOccurrence(state, d.occurrence, d.newDate);
    if (state.store->change_count != before)
        selectDate(state, d.newDate.year, d.newDate.month, d.newDate.day);
}

void drawDeleteRecurringDialog(AppState& state)
{
    WindowState& window = *state.deleteRecurringWindow;
    if (!beginEditDialog(state, "recurask", "Delete Recurring Transaction", window, 420, 240))
        return;
    UiContext& ui = *state.ui;
    wrappedLabel(ui, "How would you like to delete this recurring transaction?", 0, 0);
    addSpace(ui, dp(*state.ui, 10));
    bool one = flowButton(state, "ra-one", "Delete This Occurrence", {.style = buttonDanger});
    addSpace(ui, dp(*state.ui, 6));
    bool all = flowButton(state, "ra-all", "Delete All Occurrences", {.style = buttonDanger});
    addSpace(ui, dp(*state.ui, 6));
    if (flowButton(state, "ra-cancel", "Cancel"))
        window.open = false;
    endEditDialog(state);
    const OccurrenceRef ref = editDialogs(state).recurringDelete.occurrence;
    if (one)
        deleteOneOccurrence(state, ref);
    else if (all)
        deleteWholeTransaction(state, ref.transactionId);
    if (one || all)
        window.open = false;
}

void drawMergeDeviceBudgetDialog(AppState& state)
{
    WindowState& window = *state.merge.window;
    if (!beginEditDialog(state, "mergeask", "Budget on this device", window, 440, 284))
        return;
    UiContext& ui = *state.ui;
    wrappedLabel(ui,
        "This device has a budget made before you signed in: "
            + mergeSummary(state.merge.transactions, state.merge.adjustments)
            + ". Add it to the budget in your account, or remove it from this device and keep only the account's "
              "budget?",
        0, 0);
    addSpace(ui, dp(*state.ui, 12));
    bool merge = flowButton(state, "ma-merge", "Merge into my account", {.style = buttonPrimary});
    addSpace(ui, dp(*state.ui, 6));
    bool remove = flowButton(state, "ma-remove", "Remove it from this device", {.style = buttonDanger});
    addSpace(ui, dp(*state.ui, 6));
    if (flowButton(state, "ma-later", "Decide later", {.style = buttonQuiet}))
        window.open = false;
    endEditDialog(state);
    const PageTable& pages = pageTable();
    if (merge && pages.mergeDeviceBudget
        && deviceBudgetStep(state, "merge", [&] { return pages.mergeDeviceBudget(state); }))
        window.open = false;
    if (remove && pages.removeDeviceBudget && deviceBudgetStep(state, "remove", [&] {
            pages.removeDeviceBudget(state);
            return true;
        }))
        window.open = false;
}

}  // namespace qm
