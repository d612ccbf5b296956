#pragma once
// One account's plan, or every account's together, unrolled into days: the
// occurrences dated on a day, the money received and spent that day, and the
// opening and closing balance of each day once the balance anchors are
// honoured. The calendar, the
// period figures and the balance chart are all cut from one such ledger.
// Results are plain values owned by the caller, except the shared forms: a
// view that reads the same days every frame reads the projection's own kept
// ledger, read-only, rather than a copy of it.
#include "model/balances.h"
#include "model/budget.h"
#include "model/dates.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// A month of a large budget holds thousands of entries, made afresh after
// every change: an entry is kept to plain values. Its colour is its category's,
// which projectedColor gives for its transaction.
struct LedgerEntry {
    // Into the budget the ledger was made from: valid while it is unchanged.
    const Transaction* transaction = nullptr;
    Date date;
    bool isPaid = false;
    double amount = 0;        // the occurrence's, negated on a transfer's receiving side
    double baseAmount = 0;    // the transaction's, with the same negation
    double signedAmount = 0;  // the change to the scope's balance
    int64_t adjustmentId = 0;
};
static_assert(sizeof(LedgerEntry) <= 56);

struct DayRow {
    Date date;
    int32_t dayOfMonth = 0;
    bool isReference = false;
    bool inMonth = false;  // set by monthLedger only
    std::vector<LedgerEntry> entries;
    double startBalance = 0;
    double income = 0;
    double expense = 0;  // positive
    double net = 0;
    double endBalance = 0;  // the anchor's amount on an anchored day
    double balance = 0;     // same as endBalance
    bool anchored = false;
    double computedBalance = 0;  // the plan's end balance before the anchor
};

struct Ledger {
    Date from;
    Date to;
    int64_t accountId = 0;
    double openingBalance = 0;
    std::vector<DayRow> days;
    double totalIncome = 0;
    double totalExpense = 0;
    double net = 0;
};

// Whole weeks of a ledger as a grid shows them, seven days to a row, shared
// with the projection that keeps the ledger rather than copied: a month of
// every account in a large budget holds tens of thousands of entries, and a
// grid drawn every frame reads only a few of them. year and month name the
// month the grid shows (none for a lone week); the rows' own inMonth is left
// unset, and inMonth() tells instead.
struct LedgerWeeks {
    std::shared_ptr<const Ledger> ledger;
    int32_t year = 0;
    int32_t month = 0;

    size_t count() const { return ledger ? ledger->days.size() / 7 : 0; }
    std::span<const DayRow> week(size_t i) const { return std::span(ledger->days).subspan(7 * i, 7); }
    bool inMonth(const DayRow& day) const { return day.date.year == year && day.date.month == month; }
};

struct BalanceSummary {
    double opening = 0;
    double closing = 0;
    bool hasCurrent = false;
    double current = 0;
    double lowest = 0;
    double highest = 0;
    double average = 0;
    double income = 0;
    double expense = 0;
    double net = 0;
    double incomeToDate = 0;
    double expenseToDate = 0;
    bool hasSpentShare = false;
    double spentShare = 0;  // a fraction with four decimals
};

struct BalancePoint {
    Date date;
    double balance = 0;
};

struct MonthGrid {
    Date start;  // the Sunday on or before the 1st
    int32_t weeks = 5;
};

struct AccountSummary {
    Account account;
    double balance = 0;
    double monthEnd = 0;
    bool noAnchor = false;
    bool isDefault = false;
};

// One end-of-day balance to find (accountId as for balanceAt).
struct BalanceQuery {
    int64_t accountId = 0;
    Date date;
    double balance = 0;  // the answer, unrounded
};

// Fills every query's balance with what balanceAt gives for it, bit for bit.
void balancesAt(const Budget& b, std::vector<BalanceQuery>& queries);
void balancesAt(const BudgetProjection& p, std::vector<BalanceQuery>& queries);

// Lower-cased category name to colour.
using CategoryIndex = std::unordered_map<std::string, std::string>;

// Running balances are carried unrounded; every stored figure is in cents.
// Each takes the budget (for one question) or its projection (for a view
// that asks every frame).
Ledger accountLedger(const Budget& b, Date from, Date to, int64_t accountId, Date reference);
Ledger accountLedger(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference);
// The same ledger as the projection keeps it, shared. Like a copy, it holds
// while the budget it was made from is unchanged.
std::shared_ptr<const Ledger> sharedLedger(
    const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference);
DayRow dayLedger(const Budget& b, Date date, int64_t accountId, Date reference);
DayRow dayLedger(const BudgetProjection& p, Date date, int64_t accountId, Date reference);
// Always 5 or 6 weeks, so that a month view keeps its height.
MonthGrid monthGrid(int32_t year, int32_t month);
std::vector<std::vector<DayRow>> monthLedger(
    const Budget& b, int32_t year, int32_t month, int64_t accountId, Date reference);
std::vector<std::vector<DayRow>> monthLedger(
    const BudgetProjection& p, int32_t year, int32_t month, int64_t accountId, Date reference);
// monthLedger's weeks, shared; and the weeks copied out, inMonth set.
LedgerWeeks monthWeeks(const BudgetProjection& p, int32_t year, int32_t month, int64_t accountId, Date reference);
std::vector<std::vector<DayRow>> copyWeeks(const LedgerWeeks& weeks);
BalanceSummary balanceSummary(const Budget& b, Date from, Date to, int64_t accountId, Date reference);
BalanceSummary balanceSummary(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference);
std::vector<BalancePoint> balanceSeries(const Budget& b, Date from, Date to, int64_t accountId, Date reference);
std::vector<BalancePoint> balanceSeries(const BudgetProjection& p, Date from, Date to, int64_t accountId);
std::vector<AccountSummary> accountSummaries(const Budget& b, Date date);
std::vector<AccountSummary> accountSummaries(const BudgetProjection& p, Date date);
std::vector<Account> accountsInOrder(const Budget& b);
CategoryIndex categoryIndex(const Budget& b);
// The colour of a category name in the index, or "".
std::string categoryColor(const CategoryIndex& index, std::string_view category);

}  // namespace qm
