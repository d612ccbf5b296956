// Set running balance and Adjust Amount: each changes one figure of the plan
// (a day's anchor, one occurrence's amount) and leaves the planned
// transactions as they are.
#include <cmath>

#include "app/budget_io.h"
#include "app/form_layout.h"
#include "app/money_field.h"
#include "app/navigation.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/adjustments.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/store_lookup.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/editing.h"
#include "ui/label.h"
#include "ui/layout.h"

namespace qm {

namespace {

constexpr double kGapDp = 8;

// The field under its label at the full width; true on Enter.
bool amountLine(AppState& state, std::string_view label, std::string_view id, std::string& text)
{
    UiContext& ui = *state.ui;
    fieldLabel(state, label);
    Rect field = nextLayoutRect(ui, rowHeight(ui), 0);
    return amountField(state, id, text, field, "0.00", false) == editEnter;
}

void note(AppState& state, std::string_view text)
{
    addSpace(*state.ui, dp(*state.ui, kGapDp));
    wrappedLabel(*state.ui, text, 1, 0);
}

}  // namespace

std::string editableAmount(double amount)
{
    std::string text = roundCentsCount(amount) < 0 ? "-" : "";
    text += formatAmountPlain(amount);
    return text;
}

void openSetRunningBalance(AppState& state, int32_t year, int32_t month, int32_t day)
{
    if (!isValidDate(year, month, day))
        return;
    BalanceDialogState& d = editDialogs(state).balance;
    d.date = {year, month, day};
    d.accountId = selectedAccountId(state);
    Ledger ledger = accountLedger(storeProjection(*state.store), d.date, d.date, d.accountId, state.todayDate);
    const DayRow& row = ledger.days.front();
    d.currentTotal = row.endBalance;
    d.anchored = row.anchored;
    d.unadjustedTotal = row.computedBalance;
    d.targetText = editableAmount(d.currentTotal);
    state.balanceWindow->open = true;
    state.balanceWindow->focusOnOpen = "bal-amount";
    state.redrawRequested = true;
}

void applyRunningBalance(AppState& state)
{
    BalanceDialogState& d = editDialogs(state).balance;
    std::optional<double> value = parseMoney(d.targetText);
    if (!value) {
        showError(state, "Enter the balance as a number.");
        return;
    }
    state.balanceWindow->open = false;
    // An account removed while the dialog was open gets no anchor of its own.
    if (d.accountId != 0 && !findAccount(*state.store->budget, d.accountId))
        return;
    setAnchor(*state.store, d.date, roundCents(*value), d.accountId);
    saveBudget(state);
    showSuccess(state, "Running balance set");
}

void drawRunningBalanceDialog(AppState& state)
{
    WindowState& window = *state.balanceWindow;
    if (!beginEditDialog(state, "balform", "Set running balance", window, 440, 360, true))
        return;
    UiContext& ui = *state.ui;
    BalanceDialogState& d = editDialogs(state).balance;
    dialogHeadline(state, longDate(d.date) + " \u00b7 " + accountFilterLabel(state, d.accountId));
    addSpace(ui, dp(*state.ui, kGapDp));
    if (d.anchored) {
        readOnlyAmount(state, "Original unadjusted total", d.unadjustedTotal);
        addSpace(ui, dp(*state.ui, kGapDp));
    }
    readOnlyAmount(state, "Current running total", d.currentTotal);
    addSpace(ui, dp(*state.ui, kGapDp));
    bool enter = amountLine(state, "Target end-of-day balance", "bal-amount", d.targetText);
    note(state, "The running balance re-anchors to this target from this day forward.");
    bool apply = dialogFooter(state, window, "bal-cancel", "bal-apply", "Apply");
    endEditDialog(state);
    if (enter || apply)
        applyRunningBalance(state);
}

void openAdjustAmount(AppState& state, const OccurrenceRef& ref)
{
    std::optional<LedgerEntry> found = findSelectedOccurrence(state, ref);
    if (!found)
        return;
    AdjustDialogState& d = editDialogs(state).adjust;
    d.occurrence = occurrenceKey(*found);
    d.currentAmount = found->amount;
    d.originalAmount = found->baseAmount;
    d.description = found->transaction->description;
    d.newAmountText = std::fabs(d.currentAmount - d.originalAmount) > 0.004 ? formatAmountPlain(d.currentAmount) : "";
    state.adjustWindow->open = true;
    state.adjustWindow->focusOnOpen = "adj-amount";
    state.redrawRequested = true;
}

void applyAdjustAmount(AppState& state)
{
    AdjustDialogState& d = editDialogs(state).adjust;
    LocalStore& store = *state.store;
    std::string text(trimAsciiBlanks(d.newAmountText));
    std::optional<double> typed;
    if (!text.empty()) {
        typed = parseMoney(text);
        if (!typed) {
            showError(state, "Enter the amount as a number.");
            return;
        }
    }
    state.adjustWindow->open = false;
    const OccurrenceRef& ref = d.occurrence;
    std::optional<size_t> at = findStoreTransaction(store, ref.transactionId);
    if (!at)
        return;
    // The user types a magnitude; the sign is the stored transaction's, not
    // the ledger's, which is turned round on a transfer's receiving side.
    const double stored = store.budget->transactions[*at].amount;
    double value = 0;
    bool hasAmount = false;
    if (typed) {
        double magnitude = roundCents(std::fabs(*typed));
        value = stored > 0 ? magnitude : -magnitude;
        hasAmount = std::fabs(value - stored) >= 0.004;
        if (!hasAmount)
            value = 0;
    }
    Date original = originalDateOf(store, ref.date, ref.adjustmentId);
    if (!setOccurrenceAmount(store, ref.transactionId, original, value, hasAmount, ref.adjustmentId))
        return;
    saveBudget(state);
    showSuccess(state, "Amount adjusted");
}

void drawAdjustAmountDialog(AppState& state)
{
    WindowState& window = *state.adjustWindow;
    if (!beginEditDialog(state, "adjform", "Adjust Amount", window, 440, 380, true))
        return;
    UiContext& ui = *state.ui;
    AdjustDialogState& d = editDialogs(state).adjust;
    dialogHeadline(state, d.description + " \u00b7 " + shortDate(d.occurrence.date));
    addSpace(ui, dp(*state.ui, kGapDp));
    readOnlyAmount(state, "Current amount", d.currentAmount);
    addSpace(ui, dp(*state.ui, kGapDp));
    readOnlyAmount(state, "Original amount", d.originalAmount);
    addSpace(ui, dp(*state.ui, kGapDp));
    bool enter = amountLine(state, "New amount", "adj-amount", d.newAmountText);
    note(state, "Adjusts only this occurrence. Leave empty (or match the original) to remove the adjustment.");
    bool save = dialogFooter(state, window, "adj-cancel", "adj-save", "Save");
    endEditDialog(state);
    if (enter || save)
        applyAdjustAmount(state);
}

}  // namespace qm
