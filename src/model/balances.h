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

struct MonthEndBalances {
    double balance = 0;   // at the end of the given day, in cents
    double monthEnd = 0;  // at the end of that day's month, in cents
};

// accountId 0, or an id no account has, means all accounts. Not rounded.
double balanceAt(const Budget& b, Date date, int64_t accountId);
MonthEndBalances monthEndBalances(const Budget& b, int64_t accountId, Date date);
int64_t validAccountId(const Budget& b, int64_t accountId);
std::string accountNameById(const Budget& b, int64_t accountId);
bool involvesAccount(const Transaction& t, std::string_view accountName);
// The change an amount of t makes to the scope's balance: an empty name is
// all accounts, where a transfer changes nothing; the receiving account of a
// transfer sees the amount negated.
double amountForAccount(const Transaction& t, double amount, std::string_view accountName);

}  // namespace qm
