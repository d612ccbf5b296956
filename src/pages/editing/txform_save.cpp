#include <algorithm>
#include <array>
#include <cmath>

#include "app/budget_io.h"
#include "app/form_layout.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/money.h"
#include "model/recurrence.h"
#include "model/store_lookup.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_grid.h"
#include "pages/editing/txform.h"
#include "ui/env_switches.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/widget_id.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr std::array<const char*, 4> kUnits = {"days", "weeks", "months", "years"};
constexpr std::array<const char*, 7> kWeekdays = {
    "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};

std::string monthPiece(int32_t month) { return month <= 0 ? "every" : std::to_string(std::min(month, 12)); }

// The rule the repeat controls describe, or the message of check 6.
std::optional<std::string> ruleFromControls(const TxFormState& f, std::string& error)
{
    RecurrenceRule rule;
    switch (f.repeatMode) {
    case repeatEvery: {
        int32_t n = parseWholeNumber(std::string(trimAsciiBlanks(f.everyText))).value_or(0);
        if (n < 1 || n > 365) {
            error = "Every how many? 1 to 365.";
            return std::nullopt;
        }
        rule.kind = rkNth;
        rule.n = n;
        rule.unit = kUnits[size_t(std::clamp(f.periodIndex, 0, 3))];
        break;
    }
    case repeatMonthDay:
        rule.kind = rkDom;
        rule.day = f.monthDayIndex < 31 ? std::to_string(std::max(f.monthDayIndex, 0) + 1) : "last";
        rule.month = monthPiece(f.monthDayMonth);
        break;
    default:
        rule.kind = rkSpecific;
        rule.position = f.weekIndex < 4 ? std::to_string(std::max(f.weekIndex, 0) + 1) : "last";
        rule.weekday = kWeekdays[size_t(std::clamp(f.weekdayIndex, 0, 6))];
        rule.month = monthPiece(f.weekdayMonth);
        break;
    }
    return ruleToText(rule);
}

TransactionFormResult failed(std::string message)
{
    TransactionFormResult r;
    r.error = std::move(message);
    return r;
}

void selectSaved(AppState& state, int64_t id, Date day)
{
    state.selectedOccurrence = {id, 0, day, true};
    state.redrawRequested = true;
}

}  // namespace

TransactionFormResult readTransactionForm(const AppState& state)
{
    static const TxFormState blank;
    const TxFormState& f = state.txForm ? *state.txForm : blank;
    Transaction t;
    t.id = f.editedId;
    t.description = std::string(trimAsciiBlanks(f.description));
    if (t.description.empty())
        return failed("A description is needed.");
    t.start_date = f.date;
    t.icon_id = f.iconId;
    std::optional<double> amount = parseMoney(f.amountText);
    if (!amount || *amount < 0)
        return failed("Enter an amount (0.00 or more).");
    double magnitude = roundCents(std::fabs(*amount));
    t.amount = magnitude == 0 ? 0.0 : f.kind == txIncome ? magnitude : -magnitude;
    bool transfer = f.kind == txTransfer;
    t.category = transfer ? std::string() : f.category;
    t.account = f.account;
    if (f.accountGone)
        return failed("Choose an account.");
    if (!transfer && f.categoryGone)
        return failed("Choose a category.");
    if (transfer) {
        if (f.toAccount.empty())
            return failed("Choose the account the transfer goes to.");
        if (f.toAccount == f.account)
            return failed("A transfer needs two different accounts.");
        t.transfer_to_account = f.toAccount;
    }
    bool repeats = f.repeatMode != repeatNone;
    if (repeats && f.hasEndDate) {
        t.has_end_date = true;
        t.end_date = f.endDate;
        if (dateLess(f.endDate, f.date))
            return failed("The end date is before the start date.");
    }
    if (repeats) {
        t.is_recurring = true;
        if (!f.openedRule.empty() && repeatControls(f) == f.opened) {
            t.recurring_period = f.openedRule;
        } else {
            std::string error;
            std::optional<std::string> rule = ruleFromControls(f, error);
            if (!rule)
                return failed(error);
            t.recurring_period = *rule;
        }
        t.pay_on_business_day = f.businessDaysOnly;
        t.pay_early = f.businessDaysOnly && f.payEarly;
    }
    TransactionFormResult r;
    r.ok = true;
    r.transaction = std::move(t);
    return r;
}

void submitTransactionForm(AppState& state)
{
    TransactionFormResult r = readTransactionForm(state);
    if (!r.ok) {
        state.txFormError = r.error;
        state.redrawRequested = true;
        return;
    }
    state.txFormError.clear();
    TxFormState& f = txFormState(state);
    if (f.editing && f.fromOccurrence) {
        const Budget& b = *state.store->budget;
        std::optional<size_t> at = findStoreTransaction(*state.store, f.editedId);
        if (at && b.transactions[*at].is_recurring && r.transaction.is_recurring) {
            f.scopePromptOpen = true;
            state.redrawRequested = true;
            return;
        }
    }
    saveTransactionForm(state, false);
}

void saveTransactionForm(AppState& state, bool futureOnly)
{
    TransactionFormResult r = readTransactionForm(state);
    if (!r.ok) {
        state.txFormError = r.error;
        state.redrawRequested = true;
        return;
    }
    TxFormState& f = txFormState(state);
    LocalStore& store = *state.store;
    if (f.editing) {
        EditResult done = updateTransaction(
            store, f.editedId, r.transaction, futureOnly, f.occurrenceDate, f.fromOccurrence && futureOnly);
        if (!done.ok) {
            state.txFormError = done.error;
            state.redrawRequested = true;
            return;
        }
        saveBudget(state);
        showSuccess(state, "Transaction updated");
        selectSaved(state, done.id, futureOnly ? f.occurrenceDate : r.transaction.start_date);
    } else {
        EditResult done = addTransaction(store, r.transaction);
        if (!done.ok) {
            state.txFormError = done.error;
            state.redrawRequested = true;
            return;
        }
        saveBudget(state);
        showSuccess(state, "Transaction added");
        selectSaved(state, done.id, r.transaction.start_date);
        state.focusedDay = r.transaction.start_date;
        state.focusedDayValid = true;
    }
    state.txFormWindow->open = false;
    f.scopePromptOpen = false;
}

void drawRecurringScopePrompt(AppState& state)
{
    UiContext& ui = *state.ui;
    TxFormState& f = txFormState(state);
    std::shared_ptr<WindowState> window = windowState(ui, widgetId(ui, "tx-scope-win"));
    window->open = f.scopePromptOpen;
    if (!window->open)
        return;
    DialogSize size = dialogSize(state, 420, 230);
    if (beginWindow(ui, "tx-scope", "Edit Recurring Transaction", *window, size.width, size.height)) {
        wrappedLabel(ui, "Apply your changes to which occurrences?", 0, 0);
        addSpace(ui, dp(*state.ui, 10));
        bool future = flowButton(state, "tx-scope-future", "This and Following Occurrences", {.style = buttonPrimary});
        addSpace(ui, dp(*state.ui, 6));
        bool all = flowButton(state, "tx-scope-all", "All Occurrences", {.style = buttonPrimary});
        addSpace(ui, dp(*state.ui, 6));
        bool cancel = flowButton(state, "tx-scope-cancel", "Cancel");
        endWindow(ui);
        if (future)
            saveTransactionForm(state, true);
        else if (all)
            saveTransactionForm(state, false);
        else if (cancel)
            f.scopePromptOpen = false;
    }
    // Escape or the close button shut the window this frame.
    if (!window->open)
        f.scopePromptOpen = false;
}

namespace {

// One name of the form and the record it stood for. The name leads: while
// it names a record, that record is the one; once it names none, the record
// last seen gives its new name, or is gone.
template <typename Record>
void follow(const std::vector<Record>& records, std::string& name, int64_t& id, bool& gone)
{
    if (name.empty()) {
        id = 0;
        return;
    }
    for (const Record& r : records)
        if (r.name == name) {
            id = r.id;
            return;
        }
    if (id == 0)
        return;  // a name the budget never held, such as an imported one
    for (const Record& r : records)
        if (r.id == id) {
            name = r.name;
            return;
        }
    name.clear();
    id = 0;
    gone = true;
}

}  // namespace

void followFormRecords(AppState& state)
{
    if (!state.txForm)
        return;
    TxFormState& f = *state.txForm;
    const Budget& b = *state.store->budget;
    follow(b.categories, f.category, f.categoryId, f.categoryGone);
    follow(b.accounts, f.account, f.accountId, f.accountGone);
    bool toGone = false;
    follow(b.accounts, f.toAccount, f.toAccountId, toGone);
}

void drawTransactionForm(AppState& state)
{
    // The shell calls this every frame after the page.
    settleDrag(state);
    if (state.txFormRepeat) {
        state.txFormRepeat = false;
        txFormState(state).repeatMode = repeatEvery;
    }
    if (!state.txFormWindow->open) {
        if (state.txForm)
            state.txForm->scopePromptOpen = false;
        return;
    }
    followFormRecords(state);
    drawTransactionFormWindow(state);
    if (state.txForm && state.txForm->scopePromptOpen)
        drawRecurringScopePrompt(state);
}

}  // namespace qm
