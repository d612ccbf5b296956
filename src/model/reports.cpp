#include "model/reports.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/occurrences.h"
#include "model/projection.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace qm {

namespace {

// Whether haystack holds needle (lower case), ignoring ASCII case.
bool containsFolded(std::string_view haystack, std::string_view needle)
{
    if (needle.size() > haystack.size())
        return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(haystack[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

// Where each item goes when items are ordered by day, stably: starts[k] is
// the first place of day fromN + k (starts has one more entry, the count)
// and slot[i] the place of item i. Counting costs in proportion to the items
// and the days between fromN and toN.
void placeByDay(const std::vector<int32_t>& days, int64_t fromN, int64_t toN, std::vector<uint32_t>& starts,
    std::vector<uint32_t>& slot)
{
    starts.assign(size_t(toN - fromN + 2), 0);
    for (int32_t d : days)
        ++starts[size_t(d - fromN + 1)];
    for (size_t i = 1; i < starts.size(); ++i)
        starts[i] += starts[i - 1];
    std::vector<uint32_t> fill(starts.begin(), starts.end() - 1);
    slot.resize(days.size());
    for (size_t i = 0; i < days.size(); ++i)
        slot[i] = fill[size_t(days[i] - fromN)]++;
}

// Search ranges longer than this many days per hit (and a floor) are sorted
// by comparison rather than counted day by day.
constexpr int64_t kCountedDaysPerHit = 8;
constexpr int64_t kCountedDaysFloor = 1 << 16;
constexpr uint32_t kFetchAhead = 8;

}  // namespace

std::vector<SearchHit> searchOccurrences(const Budget& b, const SearchFilter& filter, Date reference)
{
    return searchOccurrences(projectBudget(b), filter, reference);
}

std::vector<SearchHit> searchOccurrences(const BudgetProjection& p, const SearchFilter& filter, Date reference)
{
    const uint32_t scopeIdx = scopeIndex(p, filter.accountId);
    const AccountScope& scope = p.scopes[scopeIdx].scope;
    const std::string needle = asciiLower(trimAsciiBlanks(filter.text));
    const bool byText = needle.size() >= 2;
    const DayRange range = dayRange(filter.from, filter.to);

    // Hits are gathered small, in the transactions' order, moved into their
    // days' order and made whole only then, so that ordering them moves no
    // strings and reads memory in sequence.
    struct Found {
        uint32_t transaction;
        uint32_t color;  // index into colors
        Occurrence occurrence;
        double amount;
        double baseAmount;
    };
    // Scratch kept from one search to the next, as searching as one types
    // repeats it at every key.
    thread_local std::vector<Found> found;
    thread_local std::vector<int32_t> days;  // day numbers of the hits, for the sort
    thread_local std::vector<uint32_t> transactions, starts, slot, order;
    thread_local std::vector<Occurrence> occurrences;
    found.clear();
    days.clear();
    std::vector<std::string> colors;
    transactionsIn(p, scopeIdx, range.fromN, range.toN, transactions);
    for (uint32_t i : transactions) {
        const Transaction& t = p.budget->transactions[i];
        if (byText && !containsFolded(t.description, needle) && !containsFolded(t.category, needle))
            continue;
        if (!filter.category.empty() && filter.category != t.category)
            continue;
        expandProjected(p, i, range, occurrences);
        if (occurrences.empty())
            continue;
        const double sign = scope.displaySign(t);
        bool colored = false;
        for (const Occurrence& o : occurrences) {
            const double amount = sign * o.amount;
            if ((filter.hasMin && filter.minAmount > amount) || (filter.hasMax && amount > filter.maxAmount))
                continue;
            if ((filter.paid == SearchFilter::Paid::paidOnly && !o.is_paid)
                || (filter.paid == SearchFilter::Paid::unpaidOnly && o.is_paid))
                continue;
            const bool same = o.amount == t.amount;
            if ((filter.changed == SearchFilter::Changed::changedOnly && same)
                || (filter.changed == SearchFilter::Changed::unchangedOnly && !same))
                continue;
            if (!colored) {
                colors.push_back(projectedColor(p, t));
                colored = true;
            }
            found.push_back({i, uint32_t(colors.size() - 1), o, amount, sign * t.amount});
            days.push_back(dayNumber(o.date));
        }
    }

    std::vector<SearchHit> sorted;
    sorted.reserve(found.size());
    auto take = [&](const Found& f) {
        sorted.push_back({&p.budget->transactions[f.transaction], f.occurrence.adjustment_id, f.occurrence.date,
            f.amount, f.baseAmount, colors[f.color], f.occurrence.is_paid});
    };
    if (found.empty())
        return sorted;
    // Nearest the reference first; of two days equally near, the earlier.
    const int64_t referenceN = dayNumber(reference);
    if (range.toN - range.fromN <= int64_t(found.size()) * kCountedDaysPerHit + kCountedDaysFloor) {
        placeByDay(days, range.fromN, range.toN, starts, slot);
        // Only positions move; the hits are read where they are, fetched a
        // few ahead, since a day's hits lie far apart in the gathered order.
        order.resize(found.size());
        for (size_t i = 0; i < found.size(); ++i)
            order[slot[i]] = uint32_t(i);
        auto takeDay = [&](int64_t dayN) {
            if (dayN < range.fromN || dayN > range.toN)
                return;
            const size_t k = size_t(dayN - range.fromN);
            for (uint32_t j = starts[k]; j < starts[k + 1]; ++j) {
                if (j + kFetchAhead < starts[k + 1])
                    __builtin_prefetch(&found[order[j + kFetchAhead]]);
                take(found[order[j]]);
            }
        };
        const int64_t reach = std::max(referenceN - range.fromN, range.toN - referenceN);
        for (int64_t d = 0; d <= reach && sorted.size() < found.size(); ++d) {
            takeDay(referenceN - d);
            if (d > 0)
                takeDay(referenceN + d);
        }
        return sorted;
    }
    std::vector<size_t> ranked(found.size());
    for (size_t i = 0; i < ranked.size(); ++i)
        ranked[i] = i;
    std::stable_sort(ranked.begin(), ranked.end(), [&](size_t x, size_t y) {
        int64_t dx = std::llabs(days[x] - referenceN), dy = std::llabs(days[y] - referenceN);
        return dx != dy ? dx < dy : days[x] < days[y];
    });
    for (size_t i : ranked)
        take(found[i]);
    return sorted;
}

std::vector<ReportRow> reportRows(const Budget& b, Date from, Date to, int64_t accountId)
{
    return reportRows(projectBudget(b), from, to, accountId);
}

std::vector<ReportRow> reportRows(const BudgetProjection& p, Date from, Date to, int64_t accountId)
{
    const uint32_t scopeIdx = scopeIndex(p, accountId);
    const AccountScope& scope = p.scopes[scopeIdx].scope;
    const int64_t fromN = dayNumber(from), toN = dayNumber(to);
    double running = projectedBalance(p, scopeIdx, fromN - 1);

    std::vector<ReportRow> rows;
    ReportRow start;
    start.date = subDays(from, 1);
    start.description = kStartingBalance;
    start.counted = true;
    start.isBalanceRow = true;
    start.runningBalance = roundCents(running);
    rows.push_back(std::move(start));

    // The range is taken in slices, so that what is held at once stays in
    // proportion to a slice, whatever the range.
    constexpr int64_t kSliceDays = 128;
    std::vector<uint32_t> transactions, starts, slot;
    std::vector<Occurrence> occurrences;
    std::vector<ScopeDay> figures;
    // Rows are gathered small and made whole in their final order.
    struct Found {
        uint32_t transaction;
        const RunningTotalAdjustment* anchor;  // for an anchor's row
        Occurrence occurrence;
    };
    std::vector<Found> found;
    std::vector<int32_t> days;
    // The scope's anchors in the range, in list order, with their days.
    std::vector<std::pair<int32_t, const RunningTotalAdjustment*>> anchors;
    for (const RunningTotalAdjustment& anchor : p.budget->running_total_adjustments) {
        const int32_t n = dayNumber(anchor.date);
        if (anchor.account_id == scope.id && n >= fromN && n <= toN)
            anchors.emplace_back(n, &anchor);
    }
    for (int64_t sliceFrom = fromN; sliceFrom <= toN; sliceFrom += kSliceDays) {
        const int64_t sliceTo = std::min(toN, sliceFrom + kSliceDays - 1);
        const DayRange range = dayRange(fromDayNumber(int32_t(sliceFrom)), fromDayNumber(int32_t(sliceTo)));
        found.clear();
        days.clear();
        transactionsIn(p, scopeIdx, sliceFrom, sliceTo, transactions);
        for (uint32_t i : transactions) {
            // Seen from all accounts a transfer moves nothing and shows no row.
            if (scopeIdx == 0 && !countsIn(p, i, 0))
                continue;
            expandProjected(p, i, range, occurrences);
            for (const Occurrence& o : occurrences) {
                found.push_back({i, nullptr, o});
                days.push_back(dayNumber(o.date));
            }
        }
        // An anchor is the balance at the end of its day, so its row follows
        // the day's transactions.
        for (const auto& [n, anchor] : anchors) {
            if (n < sliceFrom || n > sliceTo)
                continue;
            found.push_back({0, anchor, {}});
            days.push_back(n);
        }

        // Each row is made where its day puts it, in the transactions' order,
        // so that reading the transactions and writing the rows both go in
        // sequence.
        placeByDay(days, sliceFrom, sliceTo, starts, slot);
        const size_t base = rows.size();
        rows.resize(base + found.size());
        for (size_t i = 0; i < found.size(); ++i) {
            const Found& f = found[i];
            ReportRow& r = rows[base + slot[i]];
            if (f.anchor) {
                r.date = f.anchor->date;
                r.description = kBalanceAdjustment;
                r.isBalanceRow = true;
                r.rowOrder = 2;
                r.anchorAmount = f.anchor->amount;
                continue;
            }
            const Transaction& t = p.budget->transactions[f.transaction];
            const Occurrence& o = f.occurrence;
            const double sign = scope.displaySign(t);
            r.date = o.date;
            r.description = t.description;
            r.category = t.category;
            r.account = t.account;
            r.transferTo = t.transfer_to_account;
            r.counted = true;
            r.amount = sign * o.amount;
            r.changed = o.adjustment_id != 0 && o.amount != t.amount;
            r.baseAmount = sign * t.amount;
            r.rowOrder = 1;
        }

        // Rows between a day's ends carry their own running sum; the last
        // row of a day shows the day's balance as every view has it.
        projectedDays(p, scopeIdx, sliceFrom, sliceTo, figures);
        for (size_t k = 0; k + 1 < starts.size(); ++k) {
            const ScopeDay& day = figures[k];
            for (uint32_t j = starts[k]; j < starts[k + 1]; ++j) {
                ReportRow& r = rows[base + j];
                if (r.isBalanceRow)
                    running = r.anchorAmount;
                else if (day.counted)
                    running += r.amount;
                r.runningBalance = roundCents(running);
            }
            running = day.balance;
            if (starts[k + 1] > starts[k])
                rows[base + starts[k + 1] - 1].runningBalance = roundCents(running);
        }
    }

    ReportRow closing;
    closing.date = to;
    closing.description = kClosingBalance;
    closing.runningBalance = roundCents(running);
    closing.isBalanceRow = true;
    closing.rowOrder = 2;
    rows.push_back(std::move(closing));
    return rows;
}

GroupTotals groupTotals(const std::vector<ReportRow>& rows, bool byAccount)
{
    GroupTotals groups;
    std::unordered_map<std::string, size_t> where;
    for (const ReportRow& r : rows) {
        if (r.isBalanceRow || !r.counted)
            continue;
        std::string name(byAccount ? r.account : r.category);
        if (name.empty())
            name = "Uncategorized";
        auto [it, added] = where.try_emplace(name, groups.size());
        if (added)
            groups.emplace_back(std::move(name), GroupTotal{});
        GroupTotal& g = groups[it->second].second;
        g.count += 1;
        if (r.amount > 0)
            g.income += r.amount;
        else
            g.expense += -r.amount;
    }
    return groups;
}

std::vector<RecurringRow> recurringRows(const Budget& b, Date from)
{
    // Each series runs to its own end date, so the adjustments are grouped
    // once by transaction rather than scanned per series.
    std::unordered_map<int64_t, std::vector<TransactionAdjustment>> adjustmentsOf;
    for (const Transaction& t : b.transactions)
        if (t.is_recurring && t.has_end_date)
            adjustmentsOf.try_emplace(t.id);
    for (const TransactionAdjustment& a : b.transaction_adjustments) {
        auto it = adjustmentsOf.find(a.transaction_id);
        if (it != adjustmentsOf.end())
            it->second.push_back(a);
    }

    std::vector<RecurringRow> rows;
    for (const Transaction& t : b.transactions) {
        if (!t.is_recurring)
            continue;
        RecurringRow r;
        r.transaction = t;
        if (t.has_end_date) {
            // An end before the start still leaves the start's occurrence.
            const Date last = dateLess(t.end_date, t.start_date) ? t.start_date : t.end_date;
            r.remaining = int32_t(expandOccurrences(t, adjustmentsOf[t.id], from, last).size());
            r.remainingTotal = roundCents(*r.remaining * t.amount);
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<Category> categoriesByName(const Budget& b)
{
    std::vector<Category> categories = b.categories;
    std::stable_sort(
        categories.begin(), categories.end(), [](const Category& x, const Category& y) { return x.name < y.name; });
    return categories;
}

}  // namespace qm
