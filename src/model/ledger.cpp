#include "model/ledger.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/builtins.h"
#include "model/money.h"
#include "model/occurrences.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace qm {

bool AccountScope::contains(const Transaction& t) const { return allAccounts() || involvesAccount(t, name); }

double AccountScope::displaySign(const Transaction& t) const { return amountForAccount(t, 1, name) < 0 ? -1 : 1; }

AccountScope resolveScope(const Budget& b, int64_t accountId)
{
    AccountScope scope;
    scope.id = validAccountId(b, accountId);
    if (scope.id != 0)
        scope.name = accountNameById(b, scope.id);
    return scope;
}

namespace {

// Four decimals of a quotient, rounded on its exact value: the quotient's
// and the scaling's errors are carried into the tie-break.
double roundShare(double part, double whole)
{
    double q = part / whole;
    double qr = std::fma(-q, whole, part) / whole;
    double s = q * 10000;
    double sr = std::fma(q, 10000, -s) + qr * 10000;
    return roundHalfAway(s, sr) / 10000;
}

}  // namespace

namespace {

// Where balanceAt begins for a target day: an anchor on the day is the
// answer (exact); otherwise the base and the first day whose amounts count.
struct BalanceStart {
    bool exact = false;
    double base = 0;
    int32_t startN = 0;
};

BalanceStart balanceStart(const std::vector<const RunningTotalAdjustment*>& scopeAnchors, int32_t target)
{
    const RunningTotalAdjustment* anchor = nullptr;
    int32_t anchorN = 0;
    for (const RunningTotalAdjustment* r : scopeAnchors) {
        int32_t n = dayNumber(r->date);
        if (n == target)
            return {true, r->amount, target};
        if (n < target && (!anchor || n > anchorN)) {
            anchor = r;
            anchorN = n;
        }
    }
    if (anchor)
        return {false, anchor->amount, anchorN + 1};
    return {false, 0, dayNumber(Date{2000, 1, 1})};
}

}  // namespace

void balancesAt(const Budget& b, std::vector<BalanceQuery>& queries)
{
    struct Pending {
        size_t query;
        AccountScope scope;
        int32_t startN, targetN;
    };
    std::unordered_map<int64_t, std::vector<const RunningTotalAdjustment*>> anchorsOf;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        anchorsOf[r.account_id].push_back(&r);

    // Each query starts where balanceAt would: on its anchor, or at the
    // first day counted when it has none.
    std::vector<Pending> pending;
    int32_t fromN = 0, toN = 0;
    for (size_t i = 0; i < queries.size(); ++i) {
        BalanceQuery& q = queries[i];
        AccountScope scope = resolveScope(b, q.accountId);
        if (scope.allAccounts()) {
            q.balance = balanceAt(b, q.date, q.accountId);
            continue;
        }
        const int32_t target = dayNumber(q.date);
        const BalanceStart begin = balanceStart(anchorsOf[scope.id], target);
        q.balance = begin.base;
        const int32_t start = begin.startN;
        if (begin.exact || target < start)
            continue;
        fromN = pending.empty() ? start : std::min(fromN, start);
        toN = pending.empty() ? target : std::max(toN, target);
        pending.push_back({i, std::move(scope), start, target});
    }
    if (pending.empty())
        return;

    // Each transaction is expanded once, over the days that the queries of
    // its accounts need; the index covers every query's days.
    struct Group {
        std::vector<const Pending*> queries;
        int32_t fromN = 0, toN = 0;
    };
    std::unordered_map<std::string_view, Group> byName;
    for (const Pending& p : pending) {
        Group& g = byName[p.scope.name];
        g.fromN = g.queries.empty() ? p.startN : std::min(g.fromN, p.startN);
        g.toN = g.queries.empty() ? p.targetN : std::max(g.toN, p.targetN);
        g.queries.push_back(&p);
    }
    std::unordered_map<const Group*, DayRange> ranges;
    for (const auto& [name, g] : byName)
        ranges[&g] = dayRange(fromDayNumber(g.fromN), fromDayNumber(g.toN));
    AdjustmentIndex adjustments = indexAdjustments(b.transaction_adjustments, fromDayNumber(fromN), fromDayNumber(toN));
    std::vector<Occurrence> occurrences;
    std::vector<int32_t> days;
    for (const Transaction& t : b.transactions) {
        auto paying = byName.find(t.account);
        auto receiving =
            isTransfer(t) && t.transfer_to_account != t.account ? byName.find(t.transfer_to_account) : byName.end();
        const Group* first = paying != byName.end() ? &paying->second : nullptr;
        const Group* second = receiving != byName.end() ? &receiving->second : nullptr;
        if (!first && !second)
            continue;
        if (first && second)
            adjustments.range = dayRange(
                fromDayNumber(std::min(first->fromN, second->fromN)), fromDayNumber(std::max(first->toN, second->toN)));
        else
            adjustments.range = ranges[first ? first : second];
        // The index holds every adjustment that can act on the whole span,
        // so a narrower range sees all of its own.
        expandIndexed(t, adjustments, occurrences);
        if (occurrences.empty())
            continue;
        days.clear();
        for (const Occurrence& o : occurrences)
            days.push_back(dayNumber(o.date));
        // Added in the transactions' and the occurrences' order, as
        // balanceAt adds them, so that the sums agree to the last bit.
        for (const Group* g : {first, second}) {
            if (!g)
                continue;
            for (const Pending* p : g->queries) {
                const double sign = amountForAccount(t, 1, p->scope.name);
                double& balance = queries[p->query].balance;
                for (size_t k = 0; k < occurrences.size(); ++k)
                    if (days[k] >= p->startN && days[k] <= p->targetN)
                        balance += sign * occurrences[k].amount;
            }
        }
    }
}

Ledger accountLedger(const Budget& b, Date from, Date to, int64_t accountId, Date reference)
{
    const AccountScope scope = resolveScope(b, accountId);
    Ledger ledger;
    ledger.from = from;
    ledger.to = to;
    ledger.accountId = scope.id;

    std::vector<const RunningTotalAdjustment*> scopeAnchors;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        if (r.account_id == scope.id)
            scopeAnchors.push_back(&r);
    const int32_t fromN = dayNumber(from), toN = dayNumber(to);
    const BalanceStart opening = balanceStart(scopeAnchors, fromN - 1);
    // The opening balance's days are expanded with the range's, which spares
    // a second walk of every series; a long stretch without an anchor costs
    // less walked by balanceAt than expanded day by day.
    const bool joined = fromN <= toN && !opening.exact && opening.startN < fromN && fromN - opening.startN <= 400;
    const bool settled = opening.exact || opening.startN >= fromN;  // nothing to add
    double running = settled || joined ? opening.base : balanceAt(b, subDays(from, 1), scope.id);
    if (fromN > toN) {
        ledger.openingBalance = roundCents(running);
        return ledger;
    }
    const size_t count = size_t(int64_t(toN) - fromN + 1);
    ledger.days.resize(count);

    // Each transaction is expanded once over the whole range; its entries
    // go straight into their day, so a day keeps the transactions' order.
    const CategoryIndex colors = categoryIndex(b);
    const AdjustmentIndex adjustments =
        indexAdjustments(b.transaction_adjustments, joined ? fromDayNumber(opening.startN) : from, to);
    std::vector<Occurrence> occurrences;
    for (const Transaction& t : b.transactions) {
        if (!scope.contains(t))
            continue;
        expandIndexed(t, adjustments, occurrences);
        if (occurrences.empty())
            continue;
        const double sign = scope.displaySign(t);
        const double rule = amountForAccount(t, 1, scope.name);
        std::string color;
        bool colored = false;
        for (const Occurrence& o : occurrences) {
            const int32_t n = dayNumber(o.date);
            if (n < fromN) {
                // Summed in balanceAt's order, so the opening agrees to the bit.
                running += rule * o.amount;
                continue;
            }
            if (!colored) {
                color = categoryColor(colors, t.category);
                colored = true;
            }
            LedgerEntry e;
            e.transaction = t;
            e.date = o.date;
            e.amount = sign * o.amount;
            e.baseAmount = sign * t.amount;
            e.signedAmount = rule * o.amount;
            e.isPaid = o.is_paid;
            e.adjustmentId = o.adjustment_id;
            e.color = color;
            ledger.days[size_t(n - fromN)].entries.push_back(std::move(e));
        }
    }
    ledger.openingBalance = roundCents(running);

    // The last anchor of a day in list order is the one that day shows.
    std::vector<const RunningTotalAdjustment*> anchors(count, nullptr);
    for (const RunningTotalAdjustment& r : b.running_total_adjustments) {
        const int32_t n = dayNumber(r.date);
        if (r.account_id == scope.id && n >= fromN && n <= toN)
            anchors[size_t(n - fromN)] = &r;
    }

    const int32_t referenceN = dayNumber(reference);
    double totalIncome = 0, totalExpense = 0;
    for (size_t i = 0; i < count; ++i) {
        DayRow& day = ledger.days[i];
        const int32_t n = fromN + int32_t(i);
        day.date = fromDayNumber(n);
        day.dayOfMonth = day.date.day;
        day.isReference = n == referenceN;
        double income = 0, expense = 0;
        for (const LedgerEntry& e : day.entries) {
            if (e.signedAmount > 0)
                income += e.signedAmount;
            else if (e.signedAmount < 0)
                expense -= e.signedAmount;
        }
        totalIncome += income;
        totalExpense += expense;
        day.startBalance = roundCents(running);
        running = running + income - expense;
        day.computedBalance = roundCents(running);
        if (anchors[i]) {
            running = anchors[i]->amount;
            day.anchored = true;
        }
        day.endBalance = day.balance = roundCents(running);
        day.income = roundCents(income);
        day.expense = roundCents(expense);
        day.net = roundCents(day.income - day.expense);
    }
    ledger.totalIncome = roundCents(totalIncome);
    ledger.totalExpense = roundCents(totalExpense);
    ledger.net = roundCents(ledger.totalIncome - ledger.totalExpense);
    return ledger;
}

DayRow dayLedger(const Budget& b, Date date, int64_t accountId, Date reference)
{
    Ledger ledger = accountLedger(b, date, date, accountId, reference);
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
    MonthGrid grid = monthGrid(year, month);
    Ledger ledger = accountLedger(b, grid.start, addDays(grid.start, 7 * grid.weeks - 1), accountId, reference);
    std::vector<std::vector<DayRow>> weeks(size_t(grid.weeks));
    for (size_t i = 0; i < ledger.days.size(); ++i) {
        DayRow& day = ledger.days[i];
        day.inMonth = day.date.year == year && day.date.month == month;
        weeks[i / 7].push_back(std::move(day));
    }
    return weeks;
}

BalanceSummary balanceSummary(const Budget& b, Date from, Date to, int64_t accountId, Date reference)
{
    const Ledger ledger = accountLedger(b, from, to, accountId, reference);
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
        s.current = roundCents(balanceAt(b, reference, ledger.accountId));
    }
    if (s.expense > 0) {
        s.hasSpentShare = true;
        s.spentShare = roundShare(s.expenseToDate, s.expense);
    }
    return s;
}

std::vector<BalancePoint> balanceSeries(const Budget& b, Date from, Date to, int64_t accountId, Date reference)
{
    const Ledger ledger = accountLedger(b, from, to, accountId, reference);
    std::vector<BalancePoint> points;
    points.reserve(ledger.days.size());
    for (const DayRow& day : ledger.days)
        points.push_back({day.date, day.balance});
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
    std::unordered_set<int64_t> anchored;
    for (const RunningTotalAdjustment& r : b.running_total_adjustments)
        anchored.insert(r.account_id);
    std::vector<Account> accounts = accountsInOrder(b);
    std::vector<BalanceQuery> queries;
    queries.reserve(2 * accounts.size());
    const Date monthEnd = lastDayOfMonth(date.year, date.month);
    for (const Account& a : accounts) {
        queries.push_back({a.id, date, 0});
        queries.push_back({a.id, monthEnd, 0});
    }
    balancesAt(b, queries);

    std::vector<AccountSummary> out;
    out.reserve(accounts.size());
    for (Account& a : accounts) {
        AccountSummary s;
        s.balance = roundCents(queries[2 * out.size()].balance);
        s.monthEnd = roundCents(queries[2 * out.size() + 1].balance);
        s.noAnchor = anchored.count(a.id) == 0;
        s.isDefault = a.id == b.user.default_account_id;
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
