#include "model/ledger.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/occurrences.h"
#include "model/projection.h"
#include "model/range_walk.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace qm {

namespace {

// A transaction with entries in a ledger, and the signs its amounts take in
// the ledger's scope.
struct PlacedTransaction {
    const Transaction* transaction = nullptr;
    double sign = 1;  // of the amounts shown
    double rule = 1;  // of the change to the balance
    double base = 0;  // its amount as shown
};

// One entry of a ledger before it is made.
struct PlacedAmount {
    uint32_t day = 0;         // from the ledger's first day
    uint32_t owner = 0;       // in the placed transactions
    uint32_t adjustment = 0;  // as DayAmount's
    double amount = 0;
};

}  // namespace

// What a ledger is gathered in, kept from one ledger to the next: the
// calendar asks for one after every edit.
struct LedgerRoom {
    std::vector<ScopeDay> figures;
    std::vector<Date> dates;  // per day of the range
    std::vector<PlacedTransaction> placed;
    std::vector<PlacedAmount> found;
    std::vector<Occurrence> oddFound;  // per found, with odd dates only
    std::vector<uint32_t> perDay;
};

void balancesAt(const Budget& b, std::vector<BalanceQuery>& queries) { balancesAt(projectBudget(b), queries); }

void balancesAt(const BudgetProjection& p, std::vector<BalanceQuery>& queries)
{
    for (BalanceQuery& q : queries)
        q.balance = balanceAt(p, q.date, q.accountId);
}

Ledger accountLedger(const Budget& b, Date from, Date to, int64_t accountId, Date reference)
{
    return accountLedger(projectBudget(b), from, to, accountId, reference);
}

namespace {

// How many ledgers a projection keeps: the calendar's grid, the header's
// and the day sheet's asks, and a spare.
constexpr size_t kKeptLedgers = 4;

Ledger makeLedger(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference);

}  // namespace

Ledger accountLedger(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference)
{
    return *sharedLedger(p, from, to, accountId, reference);
}

std::shared_ptr<const Ledger> sharedLedger(
    const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference)
{
    const uint32_t scope = scopeIndex(p, accountId);
    const int64_t fromN = dayNumber(from), toN = dayNumber(to), referenceN = dayNumber(reference);
    auto& kept = p.keptLedgers;
    for (size_t k = 0; k < kept.size(); ++k) {
        const BudgetProjection::KeptLedger& l = kept[k];
        if (l.scope == scope && l.fromN == fromN && l.toN == toN && l.referenceN == referenceN
            && sameDate(l.ledger->from, from) && sameDate(l.ledger->to, to)) {
            std::rotate(kept.begin() + std::ptrdiff_t(k), kept.begin() + std::ptrdiff_t(k) + 1, kept.end());
            return kept.back().ledger;
        }
    }
    auto made = std::make_shared<const Ledger>(makeLedger(p, from, to, accountId, reference));
    if (kept.size() == kKeptLedgers)
        kept.erase(kept.begin());
    kept.push_back({scope, fromN, toN, referenceN, made});
    return made;
}

namespace {

Ledger makeLedger(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference)
{
    const uint32_t scopeIdx = scopeIndex(p, accountId);
    const AccountScope& scope = p.scopes[scopeIdx].scope;
    Ledger ledger;
    ledger.from = from;
    ledger.to = to;
    ledger.accountId = scopeIdx == 0 ? 0 : scope.id;
    const int64_t fromN = dayNumber(from), toN = dayNumber(to);
    if (fromN > toN) {
        ledger.openingBalance = roundCents(projectedBalance(p, scopeIdx, fromN - 1));
        return ledger;
    }
    LedgerRoom& room = roomIn(p.rooms.ledger);
    std::vector<ScopeDay>& figures = room.figures;
    projectedDays(p, scopeIdx, fromN, toN, figures);
    ledger.openingBalance = roundCents(figures.front().start);
    const size_t count = figures.size();
    ledger.days.resize(count);

    // Each transaction is expanded once over the whole range into one flat
    // list; its entries then go into their days, each day's list made at
    // its final size, so a day keeps the transactions' order. Entries take
    // their dates from their days and their amounts from the projection's
    // copy of the adjustments, as the day sums do; only an adjustment that
    // shows an occurrence is read, for its id and whether it is paid. Those
    // records lie far apart in a large budget: read in a loop that does
    // little else, many of them are waited for at once. Records dated on no
    // real day give their own dates.
    std::vector<Date>& dates = room.dates;
    std::vector<PlacedTransaction>& placed = room.placed;
    std::vector<PlacedAmount>& found = room.found;
    std::vector<Occurrence>& oddFound = room.oddFound;
    std::vector<uint32_t>& perDay = room.perDay;
    dates.resize(count);
    for (size_t k = 0; k < count; ++k)
        dates[k] = k == 0 ? fromDayNumber(int32_t(fromN)) : addDays(dates[k - 1], 1);
    placed.clear();
    found.clear();
    oddFound.clear();
    perDay.assign(count, 0);
    const AdjustmentList& adjustments = p.budget->transaction_adjustments;
    const DayRange range = dayRange(from, to);
    auto every = [](uint32_t) { return true; };
    auto gather = [&](uint32_t i, std::span<const DayAmount> amounts, std::span<const Occurrence> dated) {
        oddFound.insert(oddFound.end(), dated.begin(), dated.end());
        const uint32_t owner = uint32_t(placed.size());
        const ProjectedTransaction& t = p.transactions[i];
        const double sign = displaySignIn(p, t, scopeIdx);
        placed.push_back({&p.budget->transactions[i], sign, balanceSignIn(p, t, scopeIdx), sign * t.amount});
        for (const DayAmount& a : amounts) {
            const uint32_t day = uint32_t(a.day - fromN);
            found.push_back({day, owner, a.adjustment, a.amount});
            ++perDay[day];
        }
    };
    roomIn(p.rooms.walk).run(p, scopeIdx, range, wrDates, every, gather);
    for (size_t k = 0; k < count; ++k)
        ledger.days[k].entries.reserve(perDay[k]);
    for (size_t k = 0; k < found.size(); ++k) {
        const PlacedAmount& f = found[k];
        const PlacedTransaction& owner = placed[f.owner];
        LedgerEntry& e = ledger.days[f.day].entries.emplace_back();
        e.transaction = owner.transaction;
        e.amount = owner.sign * f.amount;
        e.baseAmount = owner.base;
        e.signedAmount = owner.rule * f.amount;
        if (p.oddDates) {
            e.date = oddFound[k].date;
            e.isPaid = oddFound[k].is_paid;
            e.adjustmentId = oddFound[k].adjustment_id;
        } else {
            e.date = dates[f.day];
            if (f.adjustment != 0) {
                const TransactionAdjustment& shown = adjustments[f.adjustment - 1];
                e.isPaid = shown.is_paid;
                e.adjustmentId = shown.id;
            }
        }
    }

    const int64_t referenceN = dayNumber(reference);
    double totalIncome = 0, totalExpense = 0;
    Date date = from;
    for (size_t i = 0; i < count; ++i) {
        DayRow& day = ledger.days[i];
        const ScopeDay& f = figures[i];
        const int64_t n = fromN + int64_t(i);
        day.date = date;
        date = addDays(date, 1);
        day.dayOfMonth = day.date.day;
        day.isReference = n == referenceN;
        totalIncome += f.income;
        totalExpense += f.expense;
        day.startBalance = roundCents(f.start);
        day.computedBalance = roundCents(f.computed);
        day.anchored = f.anchored;
        day.endBalance = day.balance = roundCents(f.balance);
        day.income = roundCents(f.income);
        day.expense = roundCents(f.expense);
        day.net = roundCents(day.income - day.expense);
    }
    ledger.totalIncome = roundCents(totalIncome);
    ledger.totalExpense = roundCents(totalExpense);
    ledger.net = roundCents(ledger.totalIncome - ledger.totalExpense);
    return ledger;
}

}  // namespace

DayRow dayLedger(const Budget& b, Date date, int64_t accountId, Date reference)
{
    Ledger ledger = accountLedger(b, date, date, accountId, reference);
    return std::move(ledger.days.front());
}

DayRow dayLedger(const BudgetProjection& p, Date date, int64_t accountId, Date reference)
{
    Ledger ledger = accountLedger(p, date, date, accountId, reference);
    return std::move(ledger.days.front());
}

MonthGrid monthGrid(int32_t year, int32_t month)
{
    Date first = firstOfMonth(year, month);
    int offset = (weekday(first) + 1) % 7;
    return {subDays(first, offset), offset + daysInMonth(year, month) < 36 ? 5 : 6};
}

std::vector<std::vector<DayRow>> monthLedger(
    const Budget& b, int32_t year, int32_t month, int64_t accountId, Date reference)
{
    return monthLedger(projectBudget(b), year, month, accountId, reference);
}

std::vector<std::vector<DayRow>> monthLedger(
    const BudgetProjection& p, int32_t year, int32_t month, int64_t accountId, Date reference)
{
    return copyWeeks(monthWeeks(p, year, month, accountId, reference));
}

LedgerWeeks monthWeeks(const BudgetProjection& p, int32_t year, int32_t month, int64_t accountId, Date reference)
{
    MonthGrid grid = monthGrid(year, month);
    return {sharedLedger(p, grid.start, addDays(grid.start, 7 * grid.weeks - 1), accountId, reference), year, month};
}

std::vector<std::vector<DayRow>> copyWeeks(const LedgerWeeks& weeks)
{
    std::vector<std::vector<DayRow>> out(weeks.count());
    for (size_t w = 0; w < out.size(); ++w)
        for (const DayRow& day : weeks.week(w)) {
            DayRow& copy = out[w].emplace_back(day);
            copy.inMonth = weeks.inMonth(day);
        }
    return out;
}

BalanceSummary balanceSummary(const Budget& b, Date from, Date to, int64_t accountId, Date reference)
{
    return balanceSummary(projectBudget(b), from, to, accountId, reference);
}

BalanceSummary balanceSummary(const BudgetProjection& p, Date from, Date to, int64_t accountId, Date reference)
{
    const Ledger ledger = accountLedger(p, from, to, accountId, reference);
    BalanceSummary s;
    s.opening = ledger.openingBalance;
    s.income = ledger.totalIncome;
    s.expense = ledger.totalExpense;
    s.net = roundCents(s.income - s.expense);
    if (ledger.days.empty()) {
        s.closing = s.opening;
    } else {
        s.closing = ledger.days.back().balance;
        s.lowest = s.highest = ledger.days.front().balance;
        double sum = 0, incomeToDate = 0, expenseToDate = 0;
        for (const DayRow& day : ledger.days) {
            if (day.balance < s.lowest)
                s.lowest = day.balance;
            if (day.balance > s.highest)
                s.highest = day.balance;
            sum += day.balance;
            if (dateLessEq(day.date, reference)) {
                incomeToDate += day.income;
                expenseToDate += day.expense;
            }
        }
        s.average = roundCents(sum / double(ledger.days.size()));
        s.incomeToDate = roundCents(incomeToDate);
        s.expenseToDate = roundCents(expenseToDate);
    }
    if (reference.year == from.year && reference.month == from.month && dateLessEq(reference, to)) {
        s.hasCurrent = true;
        s.current = roundCents(balanceAt(p, reference, ledger.accountId));
    }
    if (s.expense > 0) {
        s.hasSpentShare = true;
        // Divided, scaled and rounded as plain doubles: 0.03 of 0.32 gives
        // 0.0938, the share a person works out, not the 0.0937 of rounding
        // the exact quotient.
        s.spentShare = std::round(s.expenseToDate / s.expense * 10000) / 10000;
    }
    return s;
}

std::vector<BalancePoint> balanceSeries(const Budget& b, Date from, Date to, int64_t accountId, Date)
{
    return balanceSeries(projectBudget(b), from, to, accountId);
}

std::vector<BalancePoint> balanceSeries(const BudgetProjection& p, Date from, Date to, int64_t accountId)
{
    std::vector<ScopeDay> figures;
    projectedDays(p, scopeIndex(p, accountId), dayNumber(from), dayNumber(to), figures);
    std::vector<BalancePoint> points;
    points.reserve(figures.size());
    Date date = from;
    for (const ScopeDay& day : figures) {
        points.push_back({date, roundCents(day.balance)});
        date = addDays(date, 1);
    }
    return points;
}

std::vector<Account> accountsInOrder(const Budget& b)
{
    std::vector<Account> accounts = b.accounts;
    // A negative position means none: compared unsigned, it sorts last.
    std::stable_sort(accounts.begin(), accounts.end(), [](const Account& x, const Account& y) {
        uint32_t a = uint32_t(x.display_order), c = uint32_t(y.display_order);
        return a != c ? a < c : x.name < y.name;
    });
    return accounts;
}

std::vector<AccountSummary> accountSummaries(const Budget& b, Date date)
{
    return accountSummaries(projectBudget(b), date);
}

std::vector<AccountSummary> accountSummaries(const BudgetProjection& p, Date date)
{
    const int64_t dayN = dayNumber(date), monthEndN = dayNumber(lastDayOfMonth(date.year, date.month));
    std::vector<Account> accounts = accountsInOrder(*p.budget);
    std::vector<AccountSummary> out;
    out.reserve(accounts.size());
    for (Account& a : accounts) {
        const uint32_t scope = scopeIndex(p, a.id);
        AccountSummary s;
        s.balance = roundCents(projectedBalance(p, scope, dayN));
        s.monthEnd = roundCents(projectedBalance(p, scope, monthEndN));
        s.noAnchor = p.scopes[scope].anchors.empty();
        s.isDefault = a.id == p.budget->user.default_account_id;
        s.account = std::move(a);
        out.push_back(std::move(s));
    }
    return out;
}

CategoryIndex categoryIndex(const Budget& b)
{
    CategoryIndex index;
    index.reserve(b.categories.size());
    // The id picks the fallback colour, as everywhere a category name is
    // drawn, so a category keeps one colour across the program.
    for (const Category& c : b.categories)
        index[asciiLower(c.name)] = c.color.empty() ? defaultCategoryColor(c.name, c.id) : c.color;
    return index;
}

std::string categoryColor(const CategoryIndex& index, std::string_view category)
{
    auto it = index.find(asciiLower(category));
    return it == index.end() ? std::string() : it->second;
}

}  // namespace qm
