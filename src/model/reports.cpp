#include "model/reports.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/occurrences.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace qm {

std::vector<SearchHit> searchOccurrences(const Budget& b, const SearchFilter& filter, Date reference)
{
    const AccountScope scope = resolveScope(b, filter.accountId);
    const std::string needle = asciiLower(trimAsciiBlanks(filter.text));
    const bool byText = needle.size() >= 2;
    const CategoryIndex colors = categoryIndex(b);
    const AdjustmentIndex adjustments = indexAdjustments(b.transaction_adjustments, filter.from, filter.to);

    std::vector<SearchHit> hits;
    std::vector<int32_t> days;  // day numbers of the hits, for the sort
    std::vector<Occurrence> occurrences;
    for (const Transaction& t : b.transactions) {
        if (byText && asciiLower(t.description).find(needle) == std::string::npos
            && asciiLower(t.category).find(needle) == std::string::npos)
            continue;
        if (!scope.contains(t) || (!filter.category.empty() && filter.category != t.category))
            continue;
        expandIndexed(t, adjustments, occurrences);
        if (occurrences.empty())
            continue;
        const double sign = scope.displaySign(t);
        std::string color;
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
                color = categoryColor(colors, t.category);
                colored = true;
            }
            hits.push_back({t, o.adjustment_id, o.date, amount, sign * t.amount, color, o.is_paid});
            days.push_back(dayNumber(o.date));
        }
    }

    const int64_t referenceN = dayNumber(reference);
    std::vector<size_t> order(hits.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        int64_t dx = std::llabs(days[x] - referenceN), dy = std::llabs(days[y] - referenceN);
        return dx != dy ? dx < dy : days[x] < days[y];
    });
    std::vector<SearchHit> sorted;
    sorted.reserve(hits.size());
    for (size_t i : order)
        sorted.push_back(std::move(hits[i]));
    return sorted;
}

std::vector<ReportRow> reportRows(const Budget& b, Date from, Date to, int64_t accountId)
{
    const AccountScope scope = resolveScope(b, accountId);
    const Date before = subDays(from, 1);
    double running = balanceAt(b, before, scope.id);

    std::vector<ReportRow> rows;
    ReportRow start;
    start.date = before;
    start.description = kStartingBalance;
    start.counted = true;
    start.isBalanceRow = true;
    rows.push_back(std::move(start));

    const AdjustmentIndex adjustments = indexAdjustments(b.transaction_adjustments, from, to);
    std::vector<Occurrence> occurrences;
    for (const Transaction& t : b.transactions) {
        if (scope.allAccounts() ? isTransfer(t) : !scope.contains(t))
            continue;
        expandIndexed(t, adjustments, occurrences);
        const double sign = scope.displaySign(t);
        for (const Occurrence& o : occurrences) {
            ReportRow r;
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
            rows.push_back(std::move(r));
        }
    }
    for (const RunningTotalAdjustment& anchor : b.running_total_adjustments) {
        if (anchor.account_id != scope.id || !adjustments.range.contains(anchor.date))
            continue;
        ReportRow r;
        r.date = anchor.date;
        r.description = kBalanceAdjustment;
        r.isBalanceRow = true;
        r.rowOrder = 2;
        r.anchorAmount = anchor.amount;
        rows.push_back(std::move(r));
    }

    // Sorted on (day number, order) keys; the starting row is dated before
    // every other and stays first.
    std::vector<std::pair<int64_t, size_t>> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = {int64_t(dayNumber(rows[i].date)) * 4 + rows[i].rowOrder, i};
    std::stable_sort(keys.begin(), keys.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<ReportRow> sorted;
    sorted.reserve(rows.size() + 1);
    for (const auto& key : keys) {
        ReportRow& r = rows[key.second];
        if (!r.isBalanceRow)
            running += r.amount;
        else if (r.description == kBalanceAdjustment)
            running = r.anchorAmount;
        r.runningBalance = roundCents(running);
        sorted.push_back(std::move(r));
    }

    ReportRow closing;
    closing.date = to;
    closing.description = kClosingBalance;
    closing.runningBalance = roundCents(running);
    closing.isBalanceRow = true;
    closing.rowOrder = 2;
    sorted.push_back(std::move(closing));
    return sorted;
}

GroupTotals groupTotals(const std::vector<ReportRow>& rows, bool byAccount)
{
    GroupTotals groups;
    std::unordered_map<std::string, size_t> where;
    for (const ReportRow& r : rows) {
        if (r.isBalanceRow || !r.counted)
            continue;
        std::string name = byAccount ? r.account : r.category;
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
            r.remaining = int32_t(expandOccurrences(t, adjustmentsOf[t.id], from, t.end_date).size());
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
