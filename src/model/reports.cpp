#include "model/reports.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/occurrences.h"
#include "model/projection.h"

#include <algorithm>
#include <cstdint>
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
    std::vector<SearchHit> hits;
    searchOccurrences(p, filter, reference, hits);
    return hits;
}

void searchOccurrences(
    const BudgetProjection& p, const SearchFilter& filter, Date reference, std::vector<SearchHit>& sorted)
{
    const uint32_t scopeIdx = scopeIndex(p, filter.accountId);
    const AccountScope& scope = p.scopes[scopeIdx].scope;
    const std::string needle = asciiLower(trimAsciiBlanks(filter.text));
    const bool byText = needle.size() >= 2;
    const DayRange range = dayRange(filter.from, filter.to);

    // Hits are gathered small, in the transactions' order, moved into their
    // days' order and made whole only then, so that ordering them moves no
    // strings and reads memory in sequence.
    // Half a cache line a hit: in a large budget the hits outgrow the
    // caches, and ordering them reads each once more, from anywhere.
    struct Found {
        Date date;
        uint32_t source;  // index into sources; the top bit says paid
        double amount;
        int64_t adjustmentId;
    };
    static_assert(sizeof(Found) == 32);
    constexpr uint32_t kPaid = uint32_t(1) << 31;
    // What the hits of one transaction share.
    struct Source {
        uint32_t transaction;
        uint32_t color;  // index into colors
        double baseAmount;
    };
    thread_local std::vector<Source> sources;
    sources.clear();
    // Scratch kept from one search to the next, as searching as one types
    // repeats it at every key.
    thread_local std::vector<Found> found;
    thread_local std::vector<int32_t> days;  // day numbers of the hits, for the sort
    thread_local std::vector<uint32_t> transactions, starts, slot, order;
    thread_local std::vector<Occurrence> occurrences;
    thread_local std::vector<DayAmount> amounts;
    found.clear();
    days.clear();
    std::vector<std::string> colors;
    transactionsIn(p, scopeIdx, range.fromN, range.toN, transactions);
    for (size_t at = 0; at < transactions.size(); ++at) {
        prefetchAhead(p, transactions, at);
        const uint32_t i = transactions[at];
        const Transaction& t = p.budget->transactions[i];
        if (byText && !containsFolded(t.description, needle) && !containsFolded(t.category, needle))
            continue;
        if (!filter.category.empty() && filter.category != t.category)
            continue;
        const double sign = scope.displaySign(t);
        bool sourced = false;
        // date: null to make it from the day number, once the hit is kept.
        auto consider = [&](int32_t dayN, const Date* date, double plain, bool paid, int64_t adjustmentId) {
            const double amount = sign * plain;
            if ((filter.hasMin && filter.minAmount > amount) || (filter.hasMax && amount > filter.maxAmount))
                return;
            if ((filter.paid == SearchFilter::Paid::paidOnly && !paid)
                || (filter.paid == SearchFilter::Paid::unpaidOnly && paid))
                return;
            const bool same = plain == t.amount;
            if ((filter.changed == SearchFilter::Changed::changedOnly && same)
                || (filter.changed == SearchFilter::Changed::unchangedOnly && !same))
                return;
            if (!sourced) {
                colors.push_back(projectedColor(p, t));
                sources.push_back({i, uint32_t(colors.size() - 1), sign * t.amount});
                sourced = true;
            }
            found.push_back({date ? *date : fromDayNumber(dayN), uint32_t(sources.size() - 1) | (paid ? kPaid : 0),
                amount, adjustmentId});
            days.push_back(dayN);
        };
        // Days and amounts come from the projection's copy of the
        // adjustments; only an adjustment that shows an occurrence is read
        // for its id and whether it is paid. Records dated on no real day
        // give their own dates.
        if (p.oddDates) {
            expandProjected(p, i, range, occurrences);
            for (const Occurrence& o : occurrences)
                consider(dayNumber(o.date), &o.date, o.amount, o.is_paid, o.adjustment_id);
            continue;
        }
        expandProjectedAmounts(p, i, range, amounts);
        for (const DayAmount& a : amounts) {
            if (a.adjustment == 0) {
                consider(a.day, nullptr, a.amount, false, 0);
                continue;
            }
            const TransactionAdjustment& shown = p.budget->transaction_adjustments[a.adjustment - 1];
            consider(a.day, nullptr, a.amount, shown.is_paid, shown.id);
        }
    }

    sorted.clear();
    sorted.reserve(found.size());
    auto take = [&](const Found& f) {
        const Source& from = sources[f.source & ~kPaid];
        sorted.push_back({&p.budget->transactions[from.transaction], f.adjustmentId, f.date, f.amount, from.baseAmount,
            colors[from.color], (f.source & kPaid) != 0});
    };
    if (found.empty())
        return;
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
        return;
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
}

ReportRows reportRows(const Budget& b, Date from, Date to, int64_t accountId)
{
    return reportRows(projectBudget(b), from, to, accountId);
}

ReportRows reportRows(const BudgetProjection& p, Date from, Date to, int64_t accountId)
{
    ReportRows rows;
    reportRows(p, from, to, accountId, rows);
    return rows;
}

void reportRows(const BudgetProjection& p, Date from, Date to, int64_t accountId, ReportRows& out)
{
    const uint32_t scopeIdx = scopeIndex(p, accountId);
    const AccountScope& scope = p.scopes[scopeIdx].scope;
    const int64_t fromN = dayNumber(from), toN = dayNumber(to);
    double running = projectedBalance(p, scopeIdx, fromN - 1);

    std::vector<ReportRow>& rows = out.rows;
    std::vector<ReportRowSource>& sources = out.sources;
    rows.clear();
    sources.clear();
    constexpr uint32_t kStartSource = 0, kClosingSource = 1;
    sources.push_back({kStartingBalance, {}, {}, {}, 0, 0, true, true, 0});
    sources.push_back({kClosingBalance, {}, {}, {}, 0, 0, false, true, 2});

    // Rows are gathered small in the transactions' order, each transaction
    // expanded once, into buckets of a few days each; then each bucket is
    // put in its days' order and its rows written whole, in sequence. What
    // is read out of order is one bucket, which stays in the caches however
    // many rows a large budget's range holds.
    struct Found {
        uint32_t source;  // sources from firstAnchor on are anchors
        int32_t day;
        double amount;  // signed for the scope; an anchor's balance
    };
    static_assert(sizeof(Found) == 16);
    constexpr int kBucketShift = 4;
    constexpr uint32_t kBucketDays = 1u << kBucketShift;
    thread_local std::vector<std::vector<Found>> buckets;
    thread_local std::vector<std::vector<Date>> bucketDates;  // per found, with odd dates only
    thread_local std::vector<uint32_t> transactions, order;
    thread_local std::vector<Occurrence> occurrences;
    thread_local std::vector<DayAmount> amounts;
    thread_local std::vector<ScopeDay> figures;
    // Rows take their dates from their days, worked out once a day, and
    // their amounts from the projection's own copy of the adjustments,
    // which spares reading the adjustments themselves; only records dated
    // on no real day need the dates the records hold.
    const bool oddDates = p.oddDates;
    const size_t bucketCount = fromN <= toN ? size_t((toN - fromN) >> kBucketShift) + 1 : 0;
    if (buckets.size() < bucketCount)
        buckets.resize(bucketCount);
    if (oddDates && bucketDates.size() < bucketCount)
        bucketDates.resize(bucketCount);
    for (size_t k = 0; k < bucketCount; ++k) {
        buckets[k].clear();
        if (oddDates)
            bucketDates[k].clear();
    }
    auto add = [&](uint32_t source, int32_t day, double amount) {
        buckets[size_t(day - fromN) >> kBucketShift].push_back({source, day, amount});
    };
    size_t total = 0;
    uint32_t firstAnchor = 0;
    if (fromN <= toN) {
        const DayRange range = dayRange(from, to);
        transactionsIn(p, scopeIdx, fromN, toN, transactions);
        for (size_t at = 0; at < transactions.size(); ++at) {
            prefetchAhead(p, transactions, at);
            const uint32_t i = transactions[at];
            // Seen from all accounts a transfer moves nothing and shows no row.
            if (scopeIdx == 0 && !countsIn(p, i, 0))
                continue;
            if (oddDates) {
                expandProjected(p, i, range, occurrences);
                amounts.clear();
                for (const Occurrence& o : occurrences) {
                    amounts.push_back({dayNumber(o.date), 0, o.amount});
                    bucketDates[size_t(amounts.back().day - fromN) >> kBucketShift].push_back(o.date);
                }
            } else {
                expandProjectedAmounts(p, i, range, amounts);
            }
            if (amounts.empty())
                continue;
            const Transaction& t = p.budget->transactions[i];
            const uint32_t source = uint32_t(sources.size());
            const double sign = scope.displaySign(t);
            sources.push_back(
                {t.description, t.category, t.account, t.transfer_to_account, sign * t.amount, 0, true, false, 1});
            for (const DayAmount& a : amounts)
                add(source, a.day, sign * a.amount);
            total += amounts.size();
        }
        // An anchor is the balance at the end of its day, so its row follows
        // the day's transactions.
        firstAnchor = uint32_t(sources.size());
        for (const RunningTotalAdjustment& anchor : p.budget->running_total_adjustments) {
            const int32_t n = dayNumber(anchor.date);
            if (anchor.account_id == scope.id && n >= fromN && n <= toN) {
                add(uint32_t(sources.size()), n, anchor.amount);
                sources.push_back({kBalanceAdjustment, {}, {}, {}, 0, anchor.amount, false, true, 2});
                if (oddDates)
                    bucketDates[size_t(n - fromN) >> kBucketShift].push_back(anchor.date);
                ++total;
            }
        }
        projectedDays(p, scopeIdx, fromN, toN, figures);
    }
    rows.reserve(total + 2);
    rows.push_back({subDays(from, 1), kStartSource, 0, roundCents(running)});

    // Rows between a day's ends carry their own running sum; the last row
    // of a day shows the day's balance as every view has it.
    for (size_t bucket = 0; bucket < bucketCount; ++bucket) {
        const std::vector<Found>& found = buckets[bucket];
        const int64_t firstN = fromN + int64_t(bucket << kBucketShift);
        const uint32_t days = uint32_t(std::min<int64_t>(kBucketDays, toN - firstN + 1));
        // Counted into place by day, stably: each day's rows keep the
        // transactions' order.
        uint32_t starts[kBucketDays + 1] = {};
        for (const Found& f : found)
            ++starts[f.day - firstN + 1];
        for (uint32_t d = 1; d <= days; ++d)
            starts[d] += starts[d - 1];
        uint32_t fill[kBucketDays];
        std::copy(starts, starts + days, fill);
        order.resize(found.size());
        for (uint32_t i = 0; i < found.size(); ++i)
            order[fill[found[i].day - firstN]++] = i;
        for (uint32_t d = 0; d < days; ++d) {
            const ScopeDay& day = figures[size_t(firstN - fromN) + d];
            const uint32_t end = starts[d + 1];
            if (starts[d] < end) {
                const Date date = fromDayNumber(int32_t(firstN + d));
                for (uint32_t j = starts[d]; j < end; ++j) {
                    const Found& f = found[order[j]];
                    double amount = 0;
                    if (f.source >= firstAnchor) {
                        running = f.amount;
                    } else {
                        amount = f.amount;
                        if (day.counted)
                            running += f.amount;
                    }
                    // The day's last row shows the day's balance.
                    rows.emplace_back(oddDates ? bucketDates[bucket][order[j]] : date, f.source, amount,
                        roundCents(j + 1 < end ? running : day.balance));
                }
            }
            running = day.balance;
        }
    }

    rows.push_back({to, kClosingSource, 0, roundCents(running)});
}

GroupTotals groupTotals(const ReportRows& rows, bool byAccount)
{
    GroupTotals groups;
    std::unordered_map<std::string, size_t> where;
    // All rows of a source fall in one group: its name is looked up once,
    // when its first row comes, rather than once a row.
    constexpr uint32_t kUnplaced = UINT32_MAX, kLeftOut = UINT32_MAX - 1;
    std::vector<uint32_t> groupOf(rows.sources.size(), kUnplaced);
    for (const ReportRow& r : rows) {
        uint32_t& group = groupOf[r.source];
        if (group == kUnplaced) {
            const ReportRowSource& source = rows.source(r);
            if (source.isBalanceRow || !source.counted) {
                group = kLeftOut;
                continue;
            }
            std::string name(byAccount ? source.account : source.category);
            if (name.empty())
                name = "Uncategorized";
            auto [it, added] = where.try_emplace(name, groups.size());
            if (added)
                groups.emplace_back(std::move(name), GroupTotal{});
            group = uint32_t(it->second);
        }
        if (group == kLeftOut)
            continue;
        GroupTotal& g = groups[group].second;
        g.count += 1;
        if (r.amount > 0)
            g.income += r.amount;
        else
            g.expense += -r.amount;
    }
    return groups;
}

std::vector<RecurringRow> recurringRows(const Budget& b, Date from) { return recurringRows(projectBudget(b), from); }

std::vector<RecurringRow> recurringRows(const BudgetProjection& p, Date from)
{
    std::vector<RecurringRow> rows;
    rows.reserve(p.series.size());
    std::vector<Occurrence> left;
    for (const ProjectedSeries& s : p.series) {
        const Transaction& t = p.budget->transactions[s.transaction];
        RecurringRow r;
        r.transaction = t;
        if (t.has_end_date) {
            // A series whose end lies before its start still has its start.
            const Date last = dateLessEq(t.start_date, t.end_date) ? t.end_date : t.start_date;
            left.clear();
            if (dateLessEq(from, last))
                expandProjected(p, s.transaction, dayRange(from, last), left);
            r.remaining = int32_t(left.size());
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
