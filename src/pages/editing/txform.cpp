#include "pages/editing/txform.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/navigation.h"
#include "model/money.h"
#include "model/recurrence.h"
#include "ui/env_switches.h"

namespace qm {

namespace {

constexpr std::array<std::string_view, 4> kUnits = {"days", "weeks", "months", "years"};
constexpr std::array<std::string_view, 7> kWeekdays = {
    "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};

// A stored number piece of a rule; malformed pieces read as 0, which the
// clamps below turn into the first choice.
int32_t rulePiece(const std::string& text) { return parseWholeNumber(text).value_or(0); }

int32_t ruleMonth(const std::string& month) { return month == "every" ? 0 : std::clamp(rulePiece(month), 1, 12); }

template <size_t N>
int32_t indexIn(const std::array<std::string_view, N>& list, const std::string& text)
{
    auto at = std::find(list.begin(), list.end(), text);
    return at == list.end() ? 0 : int32_t(at - list.begin());
}

std::string defaultAccountName(const AppState& state)
{
    const Budget& b = *state.store->budget;
    for (int64_t id : {selectedAccountId(state), b.user.default_account_id}) {
        if (id == 0)
            continue;
        if (std::optional<size_t> at = findAccount(b, id))
            return b.accounts[*at].name;
    }
    std::vector<Account> ordered = accountsInOrder(b);
    return ordered.empty() ? std::string() : ordered.front().name;
}

void fillRepeatFromRule(TxFormState& f, const std::string& text)
{
    RecurrenceRule rule = parseRule(text);
    switch (rule.kind) {
    case rkNth:
        f.repeatMode = repeatEvery;
        f.everyText = std::to_string(std::max(rule.n, 1));
        f.periodIndex = indexIn(kUnits, rule.unit);
        break;
    case rkDom:
        f.repeatMode = repeatMonthDay;
        f.monthDayIndex = rule.day == "last" ? 31 : std::clamp(rulePiece(rule.day) - 1, 0, 30);
        f.monthDayMonth = ruleMonth(rule.month);
        break;
    case rkSpecific:
        f.repeatMode = repeatWeekday;
        f.weekIndex = rule.position == "last" ? 4 : std::clamp(rulePiece(rule.position) - 1, 0, 3);
        f.weekdayIndex = indexIn(kWeekdays, rule.weekday);
        f.weekdayMonth = ruleMonth(rule.month);
        break;
    default:
        break;
    }
}

}  // namespace

TxFormState& txFormState(AppState& state)
{
    if (!state.txForm)
        state.txForm = std::make_shared<TxFormState>();
    return *state.txForm;
}

RepeatControls repeatControls(const TxFormState& f)
{
    return {f.repeatMode, f.everyText, f.periodIndex, f.monthDayIndex, f.monthDayMonth, f.weekIndex, f.weekdayIndex,
        f.weekdayMonth};
}

void resetTransactionForm(AppState& state)
{
    TxFormState& f = txFormState(state);
    Date kept = f.occurrenceDate;
    f = TxFormState{};
    f.occurrenceDate = kept;
    f.account = defaultAccountName(state);
    state.txFormError.clear();
}

void openAddTransaction(AppState& state, int32_t kind, Date day)
{
    resetTransactionForm(state);
    TxFormState& f = txFormState(state);
    f.kind = std::clamp(kind, int32_t(txExpense), int32_t(txTransfer));
    f.date = day;
    f.endDate = addMonths(day, 12);
    state.txFormWindow->open = true;
    state.txFormWindow->focusOnOpen = "tx-desc";
    state.redrawRequested = true;
}

void openEditTransaction(AppState& state, const LedgerEntry& entry)
{
    if (!entry.transaction)
        return;
    const Transaction t = *entry.transaction;
    resetTransactionForm(state);
    TxFormState& f = txFormState(state);
    f.editing = true;
    f.editedId = t.id;
    f.occurrenceAdjustmentId = entry.adjustmentId;
    f.occurrenceDate = entry.date;
    f.fromOccurrence = true;
    f.kind = isTransfer(t) ? txTransfer : t.amount > 0 ? txIncome : txExpense;
    f.description = t.description;
    f.amountText = formatAmountPlain(t.amount);
    f.date = t.start_date;
    f.hasEndDate = t.has_end_date;
    f.endDate = t.has_end_date ? t.end_date : addMonths(t.start_date, 12);
    f.category = t.category;
    f.account = t.account;
    f.toAccount = t.transfer_to_account;
    f.iconId = t.icon_id;
    f.businessDaysOnly = t.pay_on_business_day;
    f.payEarly = t.pay_early;
    if (t.is_recurring) {
        fillRepeatFromRule(f, t.recurring_period);
        f.openedRule = t.recurring_period;
    }
    f.opened = repeatControls(f);
    // An edit focuses nothing, whatever an earlier add asked for.
    state.txFormWindow->focusOnOpen.clear();
    state.txFormWindow->open = true;
    state.redrawRequested = true;
}

std::vector<std::string> dayOfMonthChoices()
{
    std::vector<std::string> out;
    for (int day = 1; day <= 31; ++day)
        out.push_back(ordinalSuffix(day));
    out.push_back("Last day");
    return out;
}

std::vector<std::string> monthChoices()
{
    std::vector<std::string> out{"Every month"};
    for (int32_t m = 1; m <= 12; ++m)
        out.push_back(monthName(m));
    return out;
}

}  // namespace qm
