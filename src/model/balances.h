#pragma once
// Projected balances: the end-of-day balance of one account, or of all
// accounts together, from the latest balance anchor on or before the day and
// the planned amounts after it. Pure functions of the budget.
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

struct BudgetProjection;

// Which balances a figure is about: one account, or all accounts (id 0,
// also for an id that no account has). Transactions name their accounts, so
// membership is decided by name; the kind of scope is the id's, so that an
// account whose name is empty is still one account.
struct AccountScope {
    int64_t id = 0;
    std::string name;  // empty for all accounts

    bool allAccounts() const { return id == 0; }
    // The transaction's own account is the scope's, or it is a transfer into
    // the scope's account.
    bool contains(const Transaction& t) const;
    // The change an amount of t in this scope makes to its balance: nothing
    // for a transfer seen from all accounts, negated on the receiving side.
    double signedAmount(const Transaction& t, double amount) const;
    // Receiving side of a transfer, seen from an account: amounts flip sign.
    double displaySign(const Transaction& t) const;
};

AccountScope resolveScope(const Budget& b, int64_t accountId);

// Where the balances of a scope start counting: before the first anchor of
// the scope, amounts dated before this day do not count.
inline constexpr Date kFirstCountedDay{2000, 1, 1};

struct MonthEndBalances {
    double balance = 0;   // at the end of the given day, in cents
    double monthEnd = 0;  // at the end of that day's month, in cents
};

// accountId 0, or an id no account has, means all accounts. Not rounded. Of
// several anchors of the scope on one day the last in the list holds.
// The Budget forms work out a projection for the one question; a view that
// asks again and again keeps one (storeProjection).
double balanceAt(const Budget& b, Date date, int64_t accountId);
double balanceAt(const BudgetProjection& p, Date date, int64_t accountId);
MonthEndBalances monthEndBalances(const Budget& b, int64_t accountId, Date date);
MonthEndBalances monthEndBalances(const BudgetProjection& p, int64_t accountId, Date date);
int64_t validAccountId(const Budget& b, int64_t accountId);
std::string accountNameById(const Budget& b, int64_t accountId);
// Whether t belongs to the account of that name: its own account, or a
// transfer into it.
bool involvesAccount(const Transaction& t, std::string_view accountName);
// The change an amount of t makes to the scope's balance: an empty name is
// all accounts, where a transfer changes nothing; the receiving account of a
// transfer sees the amount negated.
double amountForAccount(const Transaction& t, double amount, std::string_view accountName);

}  // namespace qm
