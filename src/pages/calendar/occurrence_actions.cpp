#include "pages/calendar/occurrence_actions.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/navigation.h"
#include "model/adjustments.h"
#include "model/projection.h"
#include "model/store_lookup.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/editing/editing.h"

namespace qm {

namespace {

constexpr double kClipboardToastSeconds = 4.0;

// The adjustment that carries an occurrence after an edit through
// setOccurrenceDate: the one named by id, else the first of the transaction
// with that original date (the setter's own rule); 0 when none.
int64_t adjustmentCarrying(const LocalStore& store, int64_t transactionId, Date original, int64_t adjustmentId)
{
    if (adjustmentId != 0 && findStoreAdjustment(store, adjustmentId))
        return adjustmentId;
    // Brought up to date (as the next frame would), the projection finds it
    // without a walk through every adjustment.
    storeProjection(store);
    const std::optional<size_t> i = findStoreOccurrence(store, transactionId, original, false);
    return i ? store.budget->transaction_adjustments[*i].id : 0;
}

}  // namespace

std::optional<LedgerEntry> findOccurrenceIn(const AppState& state, const OccurrenceRef& ref, int64_t accountId)
{
    if (!ref.valid || !isValidDate(ref.date.year, ref.date.month, ref.date.day))
        return std::nullopt;
    Ledger ledger = accountLedger(storeProjection(*state.store), ref.date, ref.date, accountId, state.todayDate);
    if (ledger.days.empty())
        return std::nullopt;
    std::optional<LedgerEntry> first;
    for (LedgerEntry& e : ledger.days.front().entries) {
        if (!e.transaction || e.transaction->id != ref.transactionId)
            continue;
        if (e.adjustmentId == ref.adjustmentId)
            return std::move(e);
        if (!first)
            first = std::move(e);
    }
    return first;
}

std::optional<LedgerEntry> findSelectedOccurrence(const AppState& state, const OccurrenceRef& ref)
{
    return findOccurrenceIn(state, ref, selectedAccountId(state));
}

void moveOccurrence(AppState& state, const OccurrenceRef& ref, Date day)
{
    if (!ref.valid || day == ref.date || !isValidDate(day.year, day.month, day.day))
        return;
    LocalStore& store = *state.store;
    Date original = originalDateOf(store, ref.date, ref.adjustmentId);
    if (!setOccurrenceDate(store, ref.transactionId, original, day, ref.adjustmentId))
        return;
    saveBudget(state);
    int64_t carrying = adjustmentCarrying(store, ref.transactionId, original, ref.adjustmentId);
    state.selectedOccurrence = {ref.transactionId, carrying, day, true};
    state.focusedDay = day;
    state.focusedDayValid = true;
    showSuccess(state, "Moved to " + shortDate(day));
}

void duplicateOccurrence(AppState& state, const OccurrenceRef& ref, Date day)
{
    if (!ref.valid)
        return;
    if (copyTransactionTo(*state.store, ref.transactionId, day, true) == 0)
        return;
    saveBudget(state);
    showSuccess(state, "Transaction duplicated");
}

void pasteOnDay(AppState& state, Date day)
{
    CalendarPageState& cal = calendarState(state);
    if (cal.clipboardMode == clipCopy) {
        duplicateOccurrence(state, occurrenceKey(cal.clipboard), day);
        return;
    }
    if (cal.clipboardMode != clipCut)
        return;
    // The cut item may have moved, been deleted or split off since it was
    // cut: look for it where it was, over every account.
    OccurrenceRef cut{cal.clipboard.transaction.id, cal.clipboard.adjustmentId, cal.clipboardDate, true};
    std::optional<LedgerEntry> found = findOccurrenceIn(state, cut, 0);
    cal.clipboardMode = clipEmpty;
    state.redrawRequested = true;
    if (found)
        moveOccurrence(state, occurrenceKey(*found), day);
}

void togglePaid(AppState& state, const OccurrenceRef& ref)
{
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, ref);
    if (!found)
        return;
    LocalStore& store = *state.store;
    bool wasPaid = found->isPaid;
    int64_t transactionId = found->transaction->id;
    Date original = originalDateOf(store, found->date, found->adjustmentId);
    if (!setOccurrencePaid(store, transactionId, original, !wasPaid, found->adjustmentId))
        return;
    saveBudget(state);
    showSuccess(state, wasPaid ? "Marked as unpaid" : "Marked as paid");
}

namespace {

void takeToClipboard(AppState& state, const OccurrenceRef& ref, ClipboardMode mode)
{
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, ref);
    if (!found)
        return;
    CalendarPageState& cal = calendarState(state);
    cal.clipboard = copyEntry(*found);
    cal.clipboardMode = mode;
    cal.clipboardDate = found->date;
    showToast(state, mode == clipCut ? "Cut \u2014 pick a day and paste" : "Copied \u2014 pick a day and paste",
        toastInfo, kClipboardToastSeconds);
}

}  // namespace

void cutOccurrence(AppState& state, const OccurrenceRef& ref) { takeToClipboard(state, ref, clipCut); }

void copyOccurrence(AppState& state, const OccurrenceRef& ref) { takeToClipboard(state, ref, clipCopy); }

void confirmDeleteTransaction(AppState& state, const OccurrenceRef& ref)
{
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, ref);
    if (!found)
        return;
    OccurrenceRef target = occurrenceKey(*found);
    calendarState(state).menuTarget = target;
    if (found->transaction->is_recurring) {
        openDeleteRecurring(state, target);
        return;
    }
    showConfirm(state, "Delete Transaction", "Are you sure you want to delete this transaction?", "delete-tx",
        "Yes, Delete", "Cancel", true);
}

void deleteOneOccurrence(AppState& state, const OccurrenceRef& ref)
{
    if (ref.valid) {
        LocalStore& store = *state.store;
        Date original = originalDateOf(store, ref.date, ref.adjustmentId);
        if (deleteOccurrence(store, ref.transactionId, original, ref.adjustmentId)) {
            saveBudget(state);
            showSuccess(state, "Occurrence deleted");
        }
    }
    state.selectedOccurrence = {};
    state.redrawRequested = true;
}

void deleteWholeTransaction(AppState& state, int64_t transactionId)
{
    if (deleteTransaction(*state.store, transactionId)) {
        saveBudget(state);
        showSuccess(state, "Transaction deleted");
    }
    state.selectedOccurrence = {};
    state.redrawRequested = true;
}

}  // namespace qm
