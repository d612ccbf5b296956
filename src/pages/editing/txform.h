#pragma once
// The transaction form's state, its openers, and turning what it holds into
// a stored transaction. The form is the one modal window through which a
// planned transaction is added or edited; its window is the shell's
// txFormWindow and its footer message the shell's txFormError, so that the
// start-up switches can open it and set a message.
//
// Transactions name their accounts and category, so the form keeps names.
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/select_field.h"
#include "model/budget.h"
#include "model/ledger.h"

namespace qm {

enum TxKind : int32_t {
    txExpense = 0,
    txIncome = 1,
    txTransfer = 2,
};

enum RepeatMode : int32_t {
    repeatNone = 0,
    repeatEvery = 1,     // every N days, weeks, months or years
    repeatMonthDay = 2,  // a day of the month
    repeatWeekday = 3,   // the first..fourth or last weekday of the month
};

// The repeat controls of the form, compared as a whole.
struct RepeatControls {
    int32_t repeatMode = 0;
    std::string everyText;
    int32_t periodIndex = 0;
    int32_t monthDayIndex = 0;
    int32_t monthDayMonth = 0;
    int32_t weekIndex = 0;
    int32_t weekdayIndex = 0;
    int32_t weekdayMonth = 0;

    bool operator==(const RepeatControls&) const = default;
};

struct TxFormState {
    bool editing = false;
    int64_t editedId = 0;
    int64_t occurrenceAdjustmentId = 0;
    Date occurrenceDate;
    bool fromOccurrence = false;  // the two fields above name a real occurrence
    int32_t kind = txExpense;
    std::string description;
    std::string amountText;  // a magnitude: the kind gives the sign
    Date date;
    bool hasEndDate = false;
    Date endDate;
    std::string category;  // "" = none
    std::string account;
    std::string toAccount;
    // The records the three names stood for when last seen, so that a
    // rename made while the form is open follows into it; a field whose
    // record was deleted is emptied and must be chosen again before Save.
    int64_t categoryId = 0;
    int64_t accountId = 0;
    int64_t toAccountId = 0;
    bool categoryGone = false;
    bool accountGone = false;
    int64_t iconId = 0;  // 0 = the category's own
    int32_t repeatMode = repeatNone;
    std::string everyText = "1";
    int32_t periodIndex = 1;    // days, weeks, months, years
    int32_t monthDayIndex = 0;  // 0..30 = 1st..31st, 31 = last day
    int32_t monthDayMonth = 0;  // 0 = every month, else 1..12
    int32_t weekIndex = 0;      // 0..3 = first..fourth, 4 = last
    int32_t weekdayIndex = 0;   // 0 = Monday
    int32_t weekdayMonth = 0;   // 0 = every month, else 1..12
    bool businessDaysOnly = false;
    bool payEarly = false;
    bool scopePromptOpen = false;
    // The stored rule an edit opened with, and the repeat controls as they
    // were set from it. The controls cannot show every rule a budget may
    // hold (a fifth weekday, more than 365 days); while they are as opened,
    // the stored text is written back unchanged.
    std::string openedRule;
    RepeatControls opened;
};

// The record, made on first use.
TxFormState& txFormState(AppState& state);
RepeatControls repeatControls(const TxFormState& form);

// Defaults; leaves the window and occurrenceDate alone. The account is the
// filter's account, else the user's default, else the first in order.
void resetTransactionForm(AppState& state);
void openAddTransaction(AppState& state, int32_t kind, Date day);
void openEditTransaction(AppState& state, const LedgerEntry& entry);

// "1st" .. "31st", "Last day".
std::vector<std::string> dayOfMonthChoices();
// "Every month", "January" .. "December".
std::vector<std::string> monthChoices();

struct TransactionFormResult {
    bool ok = false;
    Transaction transaction;
    std::string error;  // the first problem, "" when ok
};

// Checks and builds; changes nothing.
TransactionFormResult readTransactionForm(const AppState& state);
// Save, Add or Enter: reports a problem in the footer, asks for the scope
// of an edited series, or saves.
void submitTransactionForm(AppState& state);
// futureOnly: the edited occurrence and those after it.
void saveTransactionForm(AppState& state, bool futureOnly);
void drawRecurringScopePrompt(AppState& state);

// Brings the form's names up to the budget: a renamed record's new name,
// an empty field for a deleted one.
void followFormRecords(AppState& state);

// The shell's form entry: takes the start-up switch's repeat request, draws
// the form while it is open, and the scope prompt over it.
void drawTransactionForm(AppState& state);
// The form's contents.
void drawTransactionFormWindow(AppState& state);
// The category choices by name, hidden ones left out unless it is the
// form's own; the account choices in display order with their type.
std::vector<SelectOption> categoryOptions(const Budget& b, const std::string& current);
std::vector<SelectOption> accountOptions(const Budget& b);

}  // namespace qm
