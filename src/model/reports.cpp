#include "model/reports.h"

#include "core/ascii.h"
#include "model/balances.h"
#include "model/kept_values.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/occurrences.h"
#include "model/projection.h"
#include "model/range_walk.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <tuple>
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

// Search ranges longer than this many days per hit (and a floor) are sorted
// by comparison rather than counted day by day.
constexpr int64_t kCountedDaysPerHit = 8;
constexpr int64_t kCountedDaysFloor = 1 << 16;

}  // namespace

SearchHits searchOccurrences(const Budget& b, const SearchFilter& filter, Date reference)
{
    return searchOccurrences(projectBudget(b), filter, reference);
}

SearchHits searchOccurrences(const BudgetProjection& p, const SearchFilter& filter, Date reference)
{
    SearchHits hits;
    searchOccurrences(p, filter, reference, hits);
    return hits;
}

namespace {

struct DateLess {
    bool operator()(Date a, Date b) const
    {
        return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
    }
};

KeptValues<Date, DateLess>& keptDates()
{
    static KeptValues<Date, DateLess>& kept = *new KeptValues<Date, DateLess>;
    return kept;
}

// 1 + the list index of the adjustment that shows an occurrence expanded
// with its dates, or 0 for a date of the rule. Two of a transaction's
// adjustments with the same id, day and paid mark read the same in a hit.
uint32_t shownBy(const BudgetProjection& p, uint32_t transaction, const Occurrence& o)
{
    if (o.adjustment_id == 0 && !o.is_paid)
        return 0;
    const ProjectedTransaction& t = p.transactions[transaction];
    for (uint32_t k = t.adjustmentsBegin; k < t.adjustmentsEnd; ++k) {
        const uint32_t index = p.adjustments[k].index;
        const TransactionAdjustment& a = p.budget->transaction_adjustments[index];
        if (a.id == o.adjustment_id && a.is_paid == o.is_paid && !a.is_deleted && a.new_date == o.date)
            return index + 1;
    }
    return 0;
}

}  // namespace

CompactDate::CompactDate(Date d)
{
    // Fields as the bits hold them: a year of 20 bits with its sign, a
    // month below 32, a day below 64.
    if (d.year >= -(1 << 19) && d.year < (1 << 19) && d.month >= 0 && d.month < 32 && d.day >= 0 && d.day < 64)
        bits = uint32_t(d.year) << 12 | uint32_t(d.month) << 7 | uint32_t(d.day) << 1;
    else
        bits = keptDates().number(d) << 1 | 1;
}

Date CompactDate::keptDate(uint32_t number) { return keptDates().at(number); }

std::string_view SearchHit::color() const { return keptColors().at(look >> 1); }

SearchHit SearchHits::made(uint32_t hit, const Source& from, uint32_t slot) const
{
    SearchHit h;
    h.transaction = from.transaction;
    uint32_t adjustment = slot;
    h.amount = from.amount;
    if ((slot & kOwnAmount) != 0) {
        const Own& o = own[slot & ~kOwnAmount];
        h.amount = o.amount;
        adjustment = o.adjustment;
    }
    h.adjustment = adjustment != 0 ? &(*adjustments)[adjustment - 1] : nullptr;
    h.date = dates.empty() ? CompactDate(fromDayNumber(days[hit])) : CompactDate(dates[hit]);
    h.look = from.look;
    return h;
}

SearchHit SearchHits::operator[](size_t i) const
{
    // A hit's source and mark are found rather than noted per hit, which
    // would make the gathering write twice as much.
    const uint32_t k = order[i];
    const Source& from = *std::prev(
        std::upper_bound(sources.begin(), sources.end(), k, [](uint32_t at, const Source& s) { return at < s.first; }));
    auto mark = std::lower_bound(marks.begin(), marks.end(), k, [](const Mark& m, uint32_t at) { return m.hit < at; });
    return made(k, from, mark != marks.end() && mark->hit == k ? mark->slot : 0);
}

std::vector<SearchHit> SearchHits::whole() const
{
    // Made in the order gathered, where sources and marks are met in turn,
    // then put in order.
    std::vector<SearchHit> gathered(order.size());
    size_t nextMark = 0;
    for (size_t s = 0; s < sources.size(); ++s) {
        const uint32_t end = s + 1 < sources.size() ? sources[s + 1].first : uint32_t(order.size());
        for (uint32_t k = sources[s].first; k < end; ++k) {
            uint32_t slot = 0;
            if (nextMark < marks.size() && marks[nextMark].hit == k)
                slot = marks[nextMark++].slot;
            gathered[k] = made(k, sources[s], slot);
        }
    }
    std::vector<SearchHit> all;
    all.reserve(order.size());
    for (uint32_t k : order)
        all.push_back(gathered[k]);
    return all;
}

void SearchHits::clear()
{
    order.clear();
    days.clear();
    dates.clear();
    sources.clear();
    marks.clear();
    own.clear();
}

// What a search keeps from one to the next, as searching as one types
// repeats it at every key.
struct SearchRoom {
    // Per day of the range: its hits' count, then the next place of its
    // hits in the order.
    std::vector<uint32_t> place;
};

void searchOccurrences(const BudgetProjection& p, const SearchFilter& filter, Date reference, SearchHits& out)
{
    const uint32_t scopeIdx = scopeIndex(p, filter.accountId);
    const std::string needle = asciiLower(trimAsciiBlanks(filter.text));
    const bool byText = needle.size() >= 2;
    const DayRange range = dayRange(filter.from, filter.to);
    const AdjustmentList& adjustments = p.budget->transaction_adjustments;

    // Hits are gathered small, in the transactions' order, and only their
    // places among the gathered are then written in the order: the results
    // of a large budget outgrow the caches, so every byte per hit costs
    // more the larger the budget. The amount is kept only where it differs
    // from the transaction's (an adjustment's), and the adjustment showing
    // a hit is noted by its place and read only when the paid filter asks,
    // as the adjustments lie far apart.
    out.clear();
    out.adjustments = &adjustments;
    std::vector<uint32_t>& place = roomIn(p.rooms.search).place;
    // Ranges up to a floor are counted by day as the hits are gathered
    // (place then holds each day's count), which spares a pass over them.
    const size_t dayCount = size_t(range.toN - range.fromN + 1);
    const bool countAsGathered = int64_t(dayCount) <= kCountedDaysFloor;
    if (countAsGathered)
        place.assign(dayCount, 0);
    // The walk reads the projection's small records of the transactions;
    // a transaction itself only for its texts, when a text is searched.
    const std::optional<uint32_t> wantedCategory =
        filter.category.empty() ? std::nullopt : categorySlot(p, filter.category);
    auto wanted = [&](uint32_t i) {
        if (byText) {
            const Transaction& record = p.budget->transactions[i];
            if (!containsFolded(record.description, needle) && !containsFolded(record.category, needle))
                return false;
        }
        return filter.category.empty() || hasCategory(p, i, wantedCategory, filter.category);
    };
    const uint8_t reads = byText ? wrDates | wrTexts : wrDates;
    auto gather = [&](uint32_t i, std::span<const DayAmount> amounts, std::span<const Occurrence> dated) {
        const ProjectedTransaction& t = p.transactions[i];
        const double sign = displaySignIn(p, t, scopeIdx);
        const double base = sign * t.amount;
        bool sourced = false;
        auto consider = [&](int32_t dayN, double plain, uint32_t adjustment) {
            const double amount = sign * plain;
            if ((filter.hasMin && filter.minAmount > amount) || (filter.hasMax && amount > filter.maxAmount))
                return false;
            if (filter.paid != SearchFilter::Paid::any) {
                const bool paid = adjustment != 0 && adjustments[adjustment - 1].is_paid;
                if (paid != (filter.paid == SearchFilter::Paid::paidOnly))
                    return false;
            }
            const bool same = plain == t.amount;
            if ((filter.changed == SearchFilter::Changed::changedOnly && same)
                || (filter.changed == SearchFilter::Changed::unchangedOnly && !same))
                return false;
            if (!sourced) {
                out.sources.push_back({&p.budget->transactions[i], base, colorIndex(p, i) << 1 | (sign < 0 ? 1u : 0u),
                    uint32_t(out.days.size())});
                sourced = true;
            }
            // Compared bit for bit, as the hit must give the very amount.
            uint32_t slot = adjustment;
            if (std::bit_cast<uint64_t>(amount) != std::bit_cast<uint64_t>(base)) {
                slot = uint32_t(out.own.size()) | SearchHits::kOwnAmount;
                out.own.push_back({amount, adjustment});
            }
            if (slot != 0)
                out.marks.push_back({uint32_t(out.days.size()), slot});
            out.days.push_back(dayN);
            if (countAsGathered)
                ++place[size_t(dayN - range.fromN)];
            return true;
        };
        // Records dated on no real day give their own dates.
        if (!dated.empty()) {
            for (size_t k = 0; k < amounts.size(); ++k)
                if (consider(amounts[k].day, amounts[k].amount, shownBy(p, i, dated[k])))
                    out.dates.push_back(dated[k].date);
            return;
        }
        for (const DayAmount& a : amounts)
            consider(a.day, a.amount, a.adjustment);
    };
    roomIn(p.rooms.walk).run(p, scopeIdx, range, reads, wanted, gather);

    const std::vector<int32_t>& days = out.days;
    std::vector<uint32_t>& order = out.order;
    const size_t n = days.size();
    if (n == 0)
        return;
    // Nearest the reference first; of two days equally near, the earlier.
    const int64_t referenceN = dayNumber(reference);
    if (range.toN - range.fromN <= int64_t(n) * kCountedDaysPerHit + kCountedDaysFloor) {
        // Counted by day, then each hit's index written straight to its
        // place, in the order gathered: the days are read in sequence, and
        // of the order only the next place of each day is written to, a few
        // hundred places that stay in the caches however many hits there
        // are. The list keeps its room.
        if (!countAsGathered) {
            place.assign(dayCount, 0);
            for (int32_t d : days)
                ++place[size_t(d - range.fromN)];
        }
        uint32_t next = 0;
        auto startDay = [&](int64_t dayN) {
            if (dayN < range.fromN || dayN > range.toN)
                return;
            const size_t k = size_t(dayN - range.fromN);
            const uint32_t count = place[k];
            place[k] = next;
            next += count;
        };
        const int64_t reach = std::max(referenceN - range.fromN, range.toN - referenceN);
        for (int64_t d = 0; d <= reach && next < n; ++d) {
            startDay(referenceN - d);
            if (d > 0)
                startDay(referenceN + d);
        }
        order.resize(n);
        uint32_t* const to = order.data();
        const int32_t* const day = days.data();
        uint32_t* const placeOf = place.data();
        const int64_t fromN = range.fromN;
        for (uint32_t k = 0; k < n; ++k)
            to[placeOf[size_t(day[k] - fromN)]++] = k;
        return;
    }
    // Sorted by comparison: only positions move.
    order.resize(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = uint32_t(i);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
        int64_t dx = std::llabs(days[x] - referenceN), dy = std::llabs(days[y] - referenceN);
        return dx != dy ? dx < dy : days[x] < days[y];
    });
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

// What report rows are gathered in, kept from one report to the next: a
// page refreshes its report after every edit.
struct ReportRoom {
    struct Found {
        uint32_t source;  // sources from firstAnchor on are anchors
        int32_t day;
        double amount;  // signed for the scope; an anchor's balance
    };
    static_assert(sizeof(Found) == 16);

    std::vector<std::vector<Found>> buckets;
    std::vector<std::vector<Date>> bucketDates;  // per found, with odd dates only
    std::vector<uint32_t> order;
    std::vector<ScopeDay> figures;
};

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
    sources.push_back({nullptr, &kStartingBalanceTexts, 0, 0, true, true, 0});
    sources.push_back({nullptr, &kClosingBalanceTexts, 0, 0, false, true, 2});

    // Rows are gathered small in the transactions' order, each transaction
    // expanded once, into buckets of a few days each; then each bucket is
    // put in its days' order and its rows written whole, in sequence. What
    // is read out of order is one bucket, which stays in the caches however
    // many rows a large budget's range holds.
    using Found = ReportRoom::Found;
    constexpr int kBucketShift = 4;
    constexpr uint32_t kBucketDays = 1u << kBucketShift;
    ReportRoom& room = roomIn(p.rooms.report);
    std::vector<std::vector<Found>>& buckets = room.buckets;
    std::vector<std::vector<Date>>& bucketDates = room.bucketDates;
    std::vector<uint32_t>& order = room.order;
    std::vector<ScopeDay>& figures = room.figures;
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
        // Seen from all accounts a transfer moves nothing and shows no row.
        auto shown = [&](uint32_t i) { return scopeIdx != 0 || countsIn(p, i, 0); };
        auto gather = [&](uint32_t i, std::span<const DayAmount> amounts, std::span<const Occurrence> dated) {
            for (size_t k = 0; k < dated.size(); ++k)
                bucketDates[size_t(amounts[k].day - fromN) >> kBucketShift].push_back(dated[k].date);
            const ProjectedTransaction& t = p.transactions[i];
            const uint32_t source = uint32_t(sources.size());
            const double sign = displaySignIn(p, t, scopeIdx);
            sources.push_back({&p.budget->transactions[i], &kNoRowTexts, sign * t.amount, 0, true, false, 1});
            for (const DayAmount& a : amounts)
                add(source, a.day, sign * a.amount);
            total += amounts.size();
        };
        roomIn(p.rooms.walk).run(p, scopeIdx, range, wrDates, shown, gather);
        // An anchor is the balance at the end of its day, so its row follows
        // the day's transactions.
        firstAnchor = uint32_t(sources.size());
        for (const RunningTotalAdjustment& anchor : p.budget->running_total_adjustments) {
            const int32_t n = dayNumber(anchor.date);
            if (anchor.account_id == scope.id && n >= fromN && n <= toN) {
                add(uint32_t(sources.size()), n, anchor.amount);
                sources.push_back({nullptr, &kBalanceAdjustmentTexts, 0, anchor.amount, false, true, 2});
                if (oddDates)
                    bucketDates[size_t(n - fromN) >> kBucketShift].push_back(anchor.date);
                ++total;
            }
        }
        projectedDays(p, scopeIdx, fromN, toN, figures);
    }
    rows.reserve(total + 2);
    constexpr size_t kRowsAhead = 64;
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
                const CompactDate date = fromDayNumber(int32_t(firstN + d));
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
                    // A large range's rows outgrow the caches; the room a
                    // little ahead is asked for now, so that it is at hand
                    // when written rather than waited for.
                    __builtin_prefetch(
                        reinterpret_cast<const void*>(
                            reinterpret_cast<uintptr_t>(rows.data() + rows.size()) + kRowsAhead * sizeof(ReportRow)),
                        1);
                    // The day's last row shows the day's balance.
                    ReportRow& row = rows.emplace_back();
                    row.date = oddDates ? CompactDate(bucketDates[bucket][order[j]]) : date;
                    row.source = f.source;
                    row.amount = amount;
                    row.runningBalance = roundCents(j + 1 < end ? running : day.balance);
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
    std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> where;
    // All rows of a source fall in one group, so its name is looked up once.
    // The sources are first listed in the order their first rows come, then
    // named in that order, each asked for a few ahead (a large report's lie
    // far apart), and only then are the rows added up.
    constexpr uint32_t kUnplaced = UINT32_MAX, kLeftOut = UINT32_MAX - 1;
    std::vector<uint32_t> groupOf(rows.sources.size(), kUnplaced);
    std::vector<uint32_t> firstSeen;
    for (const ReportRow& r : rows)
        if (groupOf[r.source] == kUnplaced) {
            groupOf[r.source] = kLeftOut;
            firstSeen.push_back(r.source);
        }
    for (size_t k = 0; k < firstSeen.size(); ++k) {
        if (k + 16 < firstSeen.size())
            __builtin_prefetch(&rows.sources[firstSeen[k + 16]]);
        if (k + 8 < firstSeen.size()) {
            const ReportRowSource& ahead = rows.sources[firstSeen[k + 8]];
            if (ahead.transaction)
                __builtin_prefetch(byAccount ? &ahead.transaction->account : &ahead.transaction->category);
            else
                __builtin_prefetch(ahead.texts);
        }
        const ReportRowSource& source = rows.sources[firstSeen[k]];
        if (source.isBalanceRow || !source.counted)
            continue;
        std::string_view name = byAccount ? source.account() : source.category();
        if (name.empty())
            name = "Uncategorized";
        auto it = where.find(name);
        if (it == where.end()) {
            it = where.emplace(std::string(name), uint32_t(groups.size())).first;
            groups.emplace_back(std::string(name), GroupTotal{});
        }
        groupOf[firstSeen[k]] = it->second;
    }
    for (const ReportRow& r : rows) {
        const uint32_t group = groupOf[r.source];
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
    RangeWalk& walk = roomIn(p.rooms.walk);
    for (const ProjectedSeries& s : p.series) {
        const Transaction& t = p.budget->transactions[s.transaction];
        RecurringRow r;
        r.transaction = t;
        if (t.has_end_date) {
            // A series whose end lies before its start still has its start.
            const Date last = dateLessEq(t.start_date, t.end_date) ? t.end_date : t.start_date;
            r.remaining =
                dateLessEq(from, last) ? int32_t(walk.occurrences(p, s.transaction, dayRange(from, last)).size()) : 0;
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
