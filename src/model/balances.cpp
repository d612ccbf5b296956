#include "model/balances.h"

#include "model/money.h"
#include "model/projection.h"

namespace qm {

bool AccountScope::contains(const Transaction& t) const { return allAccounts() || involvesAccount(t, name); }

double AccountScope::signedAmount(const Transaction& t, double amount) const
{
    if (!isTransfer(t))
        return amount;
    if (allAccounts())
        return 0;
    return t.transfer_to_account == name ? -amount : amount;
}

double AccountScope::displaySign(const Transaction& t) const { return signedAmount(t, 1) < 0 ? -1 : 1; }

AccountScope resolveScope(const Budget& b, int64_t accountId)
{
    AccountScope scope;
    if (std::optional<size_t> i = findAccount(b, accountId)) {
        scope.id = accountId;
        scope.name = b.accounts[*i].name;
    }
    return scope;
}

double balanceAt(const Budget& b, Date date, int64_t accountId) { return balanceAt(projectBudget(b), date, accountId); }

double balanceAt(const BudgetProjection& p, Date date, int64_t accountId)
{
    return projectedBalance(p, scopeIndex(p, accountId), dayNumber(date));
}

MonthEndBalances monthEndBalances(const Budget& b, int64_t accountId, Date date)
{
    return monthEndBalances(projectBudget(b), accountId, date);
}

MonthEndBalances monthEndBalances(const BudgetProjection& p, int64_t accountId, Date date)
{
    const uint32_t scope = scopeIndex(p, accountId);
    return {roundCents(projectedBalance(p, scope, dayNumber(date))),
        roundCents(projectedBalance(p, scope, dayNumber(lastDayOfMonth(date.year, date.month))))};
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
    return t.account == accountName || (isTransfer(t) && t.transfer_to_account == accountName);
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
