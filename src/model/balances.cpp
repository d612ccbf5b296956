#include "model/balances.h"

#include "model/money.h"
#include "model/occurrences.h"

namespace qm {

double balanceAt(const Budget& b, Date date, int64_t accountId)
{
    int64_t scopeId = 0;
    std::string_view scopeName;
    if (accountId != 0) {
        std::optional<size_t> i = findAccount(b, accountId);
        if (i.has_value()) {
            scopeId = accountId;
            scopeName = b.accounts[*i].name;
        }
    }

    const int32_t target = dayNumber(date);
    const RunningTotalAdjustment* anchor = nullptr;
    int32_t anchorDay = 0;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments) {
        if (r.account_id != scopeId)
            continue;
        int32_t n = dayNumber(r.date);
        if (n == target)
            return r.amount;
        if (n < target && (!anchor || n > anchorDay)) {
            anchor = &r;
            anchorDay = n;
        }
    }
    Date start = anchor ? addDays(anchor->date, 1) : Date{2000, 1, 1};
    double balance = anchor ? anchor->amount : 0;
    if (dateLess(date, start))
        return balance;

    // Every transaction, one-offs included, goes through the expansion, so a
    // one-off's adjustments count here exactly as in the ledger and calendar.
    AdjustmentIndex index = indexAdjustments(b.transaction_adjustments, start, date);
    const bool allAccounts = scopeId == 0;
    for (const Transaction& t : b.transactions) {
        if (!allAccounts && !involvesAccount(t, scopeName))
            continue;
        if (allAccounts && isTransfer(t))
            continue;  // contributes zero whatever its occurrences
        // The signed amount rule, which for one transaction is a fixed sign.
        balance = addOccurrenceAmounts(t, index, balance, amountForAccount(t, 1, scopeName));
    }
    return balance;
}

MonthEndBalances monthEndBalances(const Budget& b, int64_t accountId, Date date)
{
    return {roundCents(balanceAt(b, date, accountId)),
        roundCents(balanceAt(b, lastDayOfMonth(date.year, date.month), accountId))};
}

int64_t validAccountId(const Budget& b, int64_t accountId)
{
    return findAccount(b, accountId).has_value() ? accountId : 0;
}

std::string accountNameById(const Budget& b, int64_t accountId)
{
    std::optional<size_t> i = findAccount(b, accountId);
    return i.has_value() ? b.accounts[*i].name : std::string();
}

bool involvesAccount(const Transaction& t, std::string_view accountName)
{
    return t.account == accountName || t.transfer_to_account == accountName;
}

double amountForAccount(const Transaction& t, double amount, std::string_view accountName)
{
    if (!isTransfer(t))
        return amount;
    if (accountName.empty())
        return 0;
    return t.transfer_to_account == accountName ? -amount : amount;
}

}  // namespace qm
