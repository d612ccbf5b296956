#include "model/projection.h"

#include "core/radix_sort.h"
#include "model/kept_values.h"
#include "model/projection_internal.h"
#include "model/range_walk.h"
#include "model/store.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <malloc.h>
#include <string_view>
#include <tuple>

namespace qm {

namespace {

constexpr int64_t kChunk = kProjectionChunkDays;
// Chunks expanded together when a walk crosses many: one pass over the
// series serves them all.
constexpr int32_t kBatchChunks = 32;
// The day sums kept, in doubles; past this the cache starts over (the
// checkpoints stay, so nothing is walked twice).
constexpr size_t kMaxSumDoubles = size_t(2) << 20;
// Changed days of a kept chunk worked out again in place, at most.
constexpr int64_t kPatchDays = 8;

int32_t chunkOf(int64_t dayN) { return int32_t(dayN >= 0 ? dayN / kChunk : -((-dayN + kChunk - 1) / kChunk)); }

int64_t chunkStart(int32_t chunk) { return int64_t(chunk) * kChunk; }

DayRange dayRangeOf(int64_t fromN, int64_t toN)
{
    return dayRange(fromDayNumber(clampDay(fromN)), fromDayNumber(clampDay(toN)));
}

const int64_t kFirstCountedN = dayNumber(kFirstCountedDay);

const ScopeShare* shareIn(const BudgetProjection& p, const ProjectedTransaction& t, uint32_t scope)
{
    for (const ScopeShare& share : sharesOf(p, t))
        if (share.scope == scope)
            return &share;
    return nullptr;
}

// The income and expense of every scope on every day of chunks first ..
// first + count - 1, laid out chunk by chunk, then scope by scope, then day
// by day. Within a day of a scope the amounts are added in the list order
// of their transactions, then in each transaction's order of occurrences.
// Only the days fromN..toN within them are filled when given.
std::vector<double> computeSums(const BudgetProjection& p, int32_t first, int32_t count,
    int64_t fromN = std::numeric_limits<int64_t>::min(), int64_t toN = std::numeric_limits<int64_t>::max())
{
    const size_t scopes = p.scopes.size();
    const size_t perChunk = scopes * kChunk * 2;
    std::vector<double> sums(perChunk * size_t(count), 0.0);
    const int64_t firstN = chunkStart(first);
    fromN = std::max(fromN, firstN);
    toN = std::min(toN, chunkStart(first + count) - 1);
    // Its own walk: sums are worked out while other walks are under way.
    RangeWalk walk;
    std::span<const ScopeShare> shares;
    auto counted = [&](uint32_t i) {
        shares = sharesOf(p, p.transactions[i]);
        return !shares.empty();
    };
    auto gather = [&](uint32_t, std::span<const DayAmount> amounts, std::span<const Occurrence>) {
        for (const DayAmount& a : amounts) {
            const int64_t offset = a.day - firstN;
            const size_t chunk = size_t(offset / kChunk), day = size_t(offset % kChunk);
            for (const ScopeShare& share : shares) {
                const double v = share.sign() * a.amount;
                double* cell = &sums[chunk * perChunk + (share.scope * kChunk + day) * 2];
                if (v > 0)
                    cell[0] += v;
                else if (v < 0)
                    cell[1] -= v;
            }
        }
    };
    walk.run(p, 0, dayRangeOf(fromN, toN), wrAmounts, counted, gather);
    return sums;
}

// The sums of the days fromN..toN from one chunk on (fromN lies in it): its
// kept ones, or those of a batch computed from this chunk on (at most count
// chunks), which are kept in turn. The days of a chunk that come later in
// the batch are all filled. The pointer, to the chunk's first day, holds
// until the next call and may be read for the chunk's days fromN..toN.
const double* sumsOf(const BudgetProjection& p, int32_t chunk, int32_t count, int64_t fromN, int64_t toN)
{
    const size_t perChunk = p.scopes.size() * kChunk * 2;
    const int64_t startN = chunkStart(chunk), endN = startN + kChunk - 1;
    fromN = std::max(fromN, startN);
    toN = std::max(toN, fromN);
    auto it = p.chunkSums.find(chunk);
    if (it != p.chunkSums.end()) {
        BudgetProjection::ChunkSums& kept = it->second;
        if (kept.from <= fromN && kept.to >= std::min(toN, endN))
            return kept.batch->data() + kept.offset;
        // Only the missing days are worked out. A walk may start at any
        // anchor, so the days are added back to the one asked; but walks
        // stop at a later day each time one reads day after day, so the
        // chunk is then filled to its end at once.
        const int64_t from = std::min<int64_t>(fromN, kept.from);
        const int64_t to = toN > kept.to ? endN : kept.to;
        auto grown = std::make_shared<std::vector<double>>(kept.batch->begin() + std::ptrdiff_t(kept.offset),
            kept.batch->begin() + std::ptrdiff_t(kept.offset + perChunk));
        auto fill = [&](int64_t a, int64_t b) {
            if (a > b)
                return;
            const std::vector<double> fresh = computeSums(p, chunk, 1, a, b);
            const size_t day = size_t(a - startN), span = size_t(b - a + 1);
            for (size_t scope = 0; scope < p.scopes.size(); ++scope) {
                const size_t at = (scope * kChunk + day) * 2;
                std::copy_n(fresh.begin() + std::ptrdiff_t(at), span * 2, grown->begin() + std::ptrdiff_t(at));
            }
        };
        fill(from, kept.from - 1);
        fill(kept.to + 1, to);
        p.chunkSumsSize += perChunk;
        kept = {std::move(grown), 0, int32_t(from), int32_t(to)};
        return kept.batch->data();
    }
    count = std::max(1, count);
    for (int32_t k = 1; k < count; ++k)
        if (p.chunkSums.count(chunk + k)) {
            count = k;
            break;
        }
    toN = std::min(toN, chunkStart(chunk + count) - 1);
    auto batch = std::make_shared<const std::vector<double>>(computeSums(p, chunk, count, fromN, toN));
    if (p.chunkSumsSize + batch->size() > kMaxSumDoubles) {
        p.chunkSums.clear();
        p.chunkSumsSize = 0;
    }
    p.chunkSumsSize += batch->size();
    for (int32_t k = 0; k < count; ++k) {
        const int64_t first = chunkStart(chunk + k);
        p.chunkSums[chunk + k] = {
            batch, size_t(k) * perChunk, int32_t(std::max(fromN, first)), int32_t(std::min(toN, first + kChunk - 1))};
    }
    return batch->data();
}

// The anchor of the scope on a day, if any, walking a cursor forward.
const std::pair<int32_t, double>* anchorOn(const ProjectedScope& s, size_t& cursor, int64_t dayN)
{
    while (cursor < s.anchors.size() && s.anchors[cursor].first < dayN)
        ++cursor;
    return cursor < s.anchors.size() && s.anchors[cursor].first == dayN ? &s.anchors[cursor] : nullptr;
}

size_t firstAnchorFrom(const ProjectedScope& s, int64_t dayN)
{
    return size_t(std::lower_bound(s.anchors.begin(), s.anchors.end(), dayN,
                      [](const std::pair<int32_t, double>& a, int64_t n) { return a.first < n; })
        - s.anchors.begin());
}

// One day of the walk. Every balance of the program goes through here.
void stepDay(WalkState& state, int64_t dayN, double income, double expense, const std::pair<int32_t, double>* anchor,
    ScopeDay* out)
{
    if (out) {
        out->income = income;
        out->expense = expense;
        out->start = state.balance;
    }
    state.counting = state.counting || dayN >= kFirstCountedN;
    if (state.counting)
        state.balance = state.balance + income - expense;
    if (out) {
        out->computed = state.balance;
        out->counted = state.counting;
    }
    if (anchor) {
        state.balance = anchor->second;
        state.counting = true;
    }
    if (out) {
        out->balance = state.balance;
        out->anchored = anchor != nullptr;
    }
}

// Walks the scope over the days fromN..lastN of one chunk, recording those
// from recordFrom on.
void walkChunk(const BudgetProjection& p, uint32_t scope, int32_t chunk, const double* sums, WalkState& state,
    int64_t fromN, int64_t lastN, int64_t recordFrom, std::vector<ScopeDay>* out)
{
    const ProjectedScope& s = p.scopes[scope];
    size_t cursor = firstAnchorFrom(s, fromN);
    const double* cell = sums + (size_t(scope) * kChunk + size_t(fromN - chunkStart(chunk))) * 2;
    for (int64_t n = fromN; n <= lastN; ++n, cell += 2) {
        ScopeDay day;
        const bool record = out && n >= recordFrom;
        stepDay(state, n, cell[0], cell[1], anchorOn(s, cursor, n), record ? &day : nullptr);
        if (record)
            out->push_back(day);
    }
}

// Walks the scope over the days fromN..toN, chunk by chunk, keeping the
// state at each chunk's start it passes. The sums of the days through
// throughN (the caller's next reads) come in the same batch.
void walkDays(const BudgetProjection& p, uint32_t scope, WalkState& state, int64_t fromN, int64_t toN, int64_t throughN,
    std::vector<ScopeDay>* out)
{
    if (fromN > toN)
        return;
    const int32_t first = chunkOf(fromN), last = chunkOf(toN), through = chunkOf(std::max(toN, throughN));
    for (int32_t k = first; k <= last; ++k) {
        const int64_t a = std::max(fromN, chunkStart(k)), b = std::min(toN, chunkStart(k) + kChunk - 1);
        const double* sums = sumsOf(p, k, std::min(kBatchChunks, through - k + 1), a, std::max(toN, throughN));
        walkChunk(p, scope, k, sums, state, a, b, fromN, out);
        if (b == chunkStart(k) + kChunk - 1)
            p.checkpoints[scope].try_emplace(k + 1, state);
    }
}

// The scope's walk at the start of a day. Past an anchor the walk no longer
// depends on what came before it, so it starts the day after the latest
// anchor before, or at a later chunk's kept start; without either, nothing
// counts before the first counted day.
WalkState stateBefore(const BudgetProjection& p, uint32_t scope, int64_t dayN, int64_t throughN)
{
    const ProjectedScope& s = p.scopes[scope];
    const size_t before = firstAnchorFrom(s, dayN);
    int64_t fromN = 0;
    WalkState state;
    if (before > 0) {
        fromN = int64_t(s.anchors[before - 1].first) + 1;
        state = {s.anchors[before - 1].second, true};
    } else if (dayN <= kFirstCountedN) {
        return WalkState{};
    } else {
        fromN = kFirstCountedN;
    }
    const auto& checkpoints = p.checkpoints[scope];
    for (int32_t k = chunkOf(dayN); chunkStart(k) >= fromN; --k)
        if (auto it = checkpoints.find(k); it != checkpoints.end()) {
            fromN = chunkStart(k);
            state = it->second;
            break;
        }
    walkDays(p, scope, state, fromN, dayN - 1, throughN, nullptr);
    return state;
}

}  // namespace

void forgetDays(const BudgetProjection& p, std::vector<std::pair<int64_t, int64_t>> days)
{
    for (auto& [from, to] : days) {
        from = clampDay(from);
        to = clampDay(to);
    }
    std::sort(days.begin(), days.end());
    size_t merged = 0;
    for (const auto& d : days) {
        if (d.first > d.second)
            continue;
        if (merged > 0 && d.first <= days[merged - 1].second + 1)
            days[merged - 1].second = std::max(days[merged - 1].second, d.second);
        else
            days[merged++] = d;
    }
    days.resize(merged);
    if (days.empty())
        return;
    // A few days within a kept chunk are worked out again in place, which
    // costs a pass over those days rather than over the whole chunk; wider
    // changes drop the chunks, to be worked out when next asked.
    const size_t perChunk = p.scopes.size() * kChunk * 2;
    std::vector<std::pair<int32_t, int32_t>> dropped;
    for (const auto& [from, to] : days) {
        const int32_t first = chunkOf(from), last = chunkOf(to);
        auto it = first == last && to - from < kPatchDays ? p.chunkSums.find(first) : p.chunkSums.end();
        if (it == p.chunkSums.end()) {
            dropped.emplace_back(first, last);
            continue;
        }
        const std::vector<double> fresh = computeSums(p, first, 1, from, to);
        auto patched =
            std::make_shared<std::vector<double>>(it->second.batch->begin() + std::ptrdiff_t(it->second.offset),
                it->second.batch->begin() + std::ptrdiff_t(it->second.offset + perChunk));
        const size_t day = size_t(from - chunkStart(first)), span = size_t(to - from + 1);
        for (size_t scope = 0; scope < p.scopes.size(); ++scope) {
            const size_t at = (scope * kChunk + day) * 2;
            std::copy_n(fresh.begin() + std::ptrdiff_t(at), span * 2, patched->begin() + std::ptrdiff_t(at));
        }
        p.chunkSumsSize += perChunk;
        it->second = {std::move(patched), 0, it->second.from, it->second.to};
    }
    if (!dropped.empty())
        std::erase_if(p.chunkSums, [&](const auto& entry) {
            for (const auto& [first, last] : dropped)
                if (entry.first >= first && entry.first <= last)
                    return true;
            return false;
        });
}

void collectLists(const Budget& b, const void* (&data)[4], size_t (&size)[4])
{
    data[0] = b.transactions.storage();
    data[1] = b.transaction_adjustments.storage();
    data[2] = b.running_total_adjustments.data();
    data[3] = b.accounts.data();
    size[0] = b.transactions.size();
    size[1] = b.transaction_adjustments.size();
    size[2] = b.running_total_adjustments.size();
    size[3] = b.accounts.size();
}

int32_t projectionChunkOf(int64_t dayN) { return chunkOf(dayN); }

ScopeNames scopeNames(const BudgetProjection& p)
{
    ScopeNames names;
    for (uint32_t scope = 1; scope < p.scopes.size(); ++scope)
        names.byName[p.scopes[scope].scope.name].push_back(scope);
    return names;
}

void projectAnchors(BudgetProjection& p, const Budget& b)
{
    for (ProjectedScope& s : p.scopes)
        s.anchors.clear();
    for (const RunningTotalAdjustment& r : b.running_total_adjustments) {
        uint32_t scope = 0;
        if (r.account_id != 0) {
            auto it = p.scopeOfId.find(r.account_id);
            if (it == p.scopeOfId.end())
                continue;
            scope = it->second;
        }
        p.scopes[scope].anchors.emplace_back(dayNumber(r.date), r.amount);
        p.oddDates = p.oddDates || !isPlainDate(r.date);
    }
    for (ProjectedScope& s : p.scopes) {
        auto& a = s.anchors;
        std::stable_sort(a.begin(), a.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        // Of several on one day the last in the list holds.
        size_t out = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            if (out > 0 && a[out - 1].first == a[i].first)
                a[out - 1] = a[i];
            else
                a[out++] = a[i];
        }
        a.resize(out);
    }
}

namespace {

// Works out t's shares in names.shares.
void placeShares(const BudgetProjection& p, const Transaction& t, ScopeNames& names)
{
    const auto& byName = names.byName;
    std::vector<ScopeShare>& out = names.shares;
    out.clear();
    if (!isTransfer(t))
        out.push_back({0, 0});
    auto shareWith = [&](std::string_view name) {
        auto it = byName.find(name);
        if (it != byName.end())
            for (uint32_t scope : it->second)
                out.push_back({scope, p.scopes[scope].scope.signedAmount(t, 1) < 0});
    };
    shareWith(t.account);
    if (isTransfer(t) && t.transfer_to_account != t.account)
        shareWith(t.transfer_to_account);
}

// A series' dates never come before its start, nor after its end, and
// moving off a weekend shifts them at most two days. The start always
// counts, even with an end before it.
std::pair<int64_t, int64_t> spanOf(const Transaction& t)
{
    const int64_t startN = dayNumber(t.start_date);
    if (!t.is_recurring)
        return {startN, startN};
    return {startN - 2,
        t.has_end_date ? std::max<int64_t>(startN, dayNumber(t.end_date)) + 2 : std::numeric_limits<int64_t>::max()};
}

uint8_t placedFlags(const Transaction& t)
{
    return uint8_t(t.is_recurring | t.pay_on_business_day << 1 | t.pay_early << 2);
}

bool sameStep(const SeriesStep& a, const SeriesStep& b)
{
    return a.kind == b.kind && a.count == b.count && a.lastDay == b.lastDay && a.day == b.day && a.month == b.month
        && a.position == b.position && a.weekday == b.weekday;
}

// Series stay in list order: a slot made or dropped moves those after it.
void renumberSeries(BudgetProjection& p, size_t from, int32_t shift)
{
    for (size_t k = from; k < p.series.size(); ++k)
        p.transactions[p.series[k].transaction].dayOrSeries = int32_t(k);
    for (ProjectedScope& scope : p.scopes)
        for (uint32_t& slot : scope.series)
            if (slot >= from)  // a dropped slot is no longer listed
                slot = uint32_t(int64_t(slot) + shift);
}

int32_t insertSeries(BudgetProjection& p, uint32_t i)
{
    const auto at = std::lower_bound(p.series.begin(), p.series.end(), i,
        [](const ProjectedSeries& s, uint32_t transaction) { return s.transaction < transaction; });
    const size_t slot = size_t(at - p.series.begin());
    p.series.insert(at, ProjectedSeries{i, 0, 0, {}, {}, kNoEnd, 0, 0});
    renumberSeries(p, slot, 1);
    p.transactions[i].recurring = 1;
    return int32_t(slot);
}

// The number of a category's colour among those kept for the program's life.
uint32_t colorSlot(const BudgetProjection& p, std::string_view category)
{
    return keptColors().number(categoryColor(p.colors, category));
}

// The slot of a category text, added when new.
uint32_t categorySlotFor(BudgetProjection& p, const std::string& category)
{
    auto it = p.categorySlots.find(std::string_view(category));
    if (it != p.categorySlots.end())
        return it->second;
    // Slots beyond the record's field are never given: such a transaction's
    // category is read from its text instead.
    if (p.categorySlots.size() >= ProjectedTransaction::kNoCategory)
        return ProjectedTransaction::kNoCategory;
    const uint32_t slot = uint32_t(p.categorySlots.size());
    p.categorySlots.emplace(category, slot);
    p.categoryColors.push_back(colorSlot(p, category));
    return slot;
}

// Keeps the shares inline when they fit, in p.shares when not.
void setShares(BudgetProjection& p, ProjectedTransaction& t, const std::vector<ScopeShare>& shares)
{
    t.inlineShares[0] = t.inlineShares[1] = {};
    if (shares.size() <= 2) {
        t.shareCount = uint32_t(shares.size());
        std::copy(shares.begin(), shares.end(), t.inlineShares);
        return;
    }
    t.shareCount = ProjectedTransaction::kSharesApart;
    t.inlineShares[0].scope = uint32_t(p.shares.size());
    p.shares.insert(p.shares.end(), shares.begin(), shares.end());
    t.inlineShares[1].scope = uint32_t(p.shares.size());
}

}  // namespace

// Where transaction i's own dates can fall, clamped to day numbers: a
// one-off's day twice.
std::pair<int32_t, int32_t> placedSpan(const BudgetProjection& p, uint32_t i)
{
    const ProjectedTransaction& t = p.transactions[i];
    if (!t.isSeries())
        return {t.dayOrSeries, t.dayOrSeries};
    const ProjectedSeries& s = p.series[size_t(t.dayOrSeries)];
    return {clampDay(s.firstN), clampDay(s.lastN)};
}

// Drops the series slot of transaction i, which no scope lists any more.
void eraseSeries(BudgetProjection& p, uint32_t i)
{
    const size_t slot = size_t(p.transactions[i].dayOrSeries);
    p.series.erase(p.series.begin() + std::ptrdiff_t(slot));
    p.transactions[i].recurring = 0;
    p.transactions[i].dayOrSeries = 0;
    renumberSeries(p, slot, -1);
}

bool isPlainDate(Date d)
{
    // Years 1 to 9999, as dates are written.
    return d.year >= 1 && d.year <= 9999 && isValidDate(d.year, d.month, d.day);
}

void sortAdjustmentGroup(BudgetProjection& p, uint32_t begin, uint32_t end)
{
    ProjectedAdjustment* const first = p.adjustments.data() + begin;
    ProjectedAdjustment* const last = p.adjustments.data() + end;
    for (const ProjectedAdjustment* a = first; a != last; ++a)
        if (a->newN != std::numeric_limits<int32_t>::min())
            p.adjustmentReach = std::max<int64_t>(p.adjustmentReach, std::abs(int64_t(a->newN) - a->originalN));
    if (end - begin > 1)
        std::sort(first, last, [](const ProjectedAdjustment& x, const ProjectedAdjustment& y) {
            const int64_t dx = earlierDay(x), dy = earlierDay(y);
            return dx != dy ? dx < dy : x.index < y.index;
        });
}

void placeTransaction(BudgetProjection& p, uint32_t i, const Transaction& t, ScopeNames& names)
{
    placeShares(p, t, names);
    const std::vector<ScopeShare>& shares = names.shares;
    setShares(p, p.transactions[i], shares);
    p.transactions[i].amount = t.amount;
    placeCategory(p, i, t);
    const auto [firstN, lastN] = spanOf(t);
    p.oddDates = p.oddDates || !isPlainDate(t.start_date);
    if (t.is_recurring) {
        const int32_t slot = p.transactions[i].isSeries() ? p.transactions[i].dayOrSeries : insertSeries(p, i);
        const ExpansionSource source = expansionSource(t);
        p.series[size_t(slot)] = {
            i, firstN, lastN, seriesStep(t.recurring_period), t.start_date, source.endN, t.amount, placedFlags(t)};
        for (const ScopeShare& share : shares)
            if (share.scope != 0) {
                std::vector<uint32_t>& list = p.scopes[share.scope].series;
                list.insert(std::lower_bound(list.begin(), list.end(), uint32_t(slot)), uint32_t(slot));
            }
    } else {
        if (p.transactions[i].isSeries())
            eraseSeries(p, i);
        p.transactions[i].dayOrSeries = clampDay(firstN);
    }
}

void placeCategory(BudgetProjection& p, uint32_t i, const Transaction& t)
{
    p.transactions[i].category = categorySlotFor(p, t.category);
}

void recolorCategories(BudgetProjection& p, const Budget& b)
{
    p.colors = categoryIndex(b);
    for (const auto& [text, slot] : p.categorySlots)
        p.categoryColors[slot] = colorSlot(p, text);
}

bool placedAlike(const BudgetProjection& p, uint32_t i, const Transaction& t, ScopeNames& names)
{
    // A one-off costs a day to place again; only series are compared.
    const ProjectedTransaction& placed = p.transactions[i];
    if (!t.is_recurring || !placed.isSeries())
        return false;
    const ProjectedSeries& s = p.series[size_t(placed.dayOrSeries)];
    const auto [firstN, lastN] = spanOf(t);
    if (s.amount != t.amount || s.flags != placedFlags(t) || s.firstN != firstN || s.lastN != lastN
        || !sameDate(s.start, t.start_date) || s.endN != expansionSource(t).endN
        || !sameStep(s.step, seriesStep(t.recurring_period)))
        return false;
    placeShares(p, t, names);
    const std::vector<ScopeShare>& shares = names.shares;
    const std::span<const ScopeShare> now = sharesOf(p, placed);
    return std::equal(shares.begin(), shares.end(), now.begin(), now.end(),
        [](const ScopeShare& x, const ScopeShare& y) { return x.scope == y.scope && x.negative == y.negative; });
}

BudgetProjection projectBudget(const Budget& b, int32_t revision)
{
    BudgetProjection p;
    p.budget = &b;
    p.revision = p.madeAt = p.notedTo = revision;
    collectLists(b, p.listData, p.listSize);

    p.scopes.resize(b.accounts.size() + 1);
    for (size_t i = 0; i < b.accounts.size(); ++i) {
        const Account& a = b.accounts[i];
        const uint32_t scope = uint32_t(i + 1);
        // Id 0 names no account, and of two accounts with one id the first
        // is the one found; the scope of another is never asked for.
        p.scopes[scope].scope = AccountScope{a.id, a.name};
        if (a.id != 0)
            p.scopeOfId.emplace(a.id, scope);
    }
    projectAnchors(p, b);
    ScopeNames names = scopeNames(p);
    p.colors = categoryIndex(b);

    const size_t count = b.transactions.size();
    p.transactions.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Transaction& t = b.transactions[i];
        placeTransaction(p, uint32_t(i), t, names);
        if (!t.is_recurring)
            p.oneOffs.emplace_back(p.transactions[i].dayOrSeries, uint32_t(i));
    }

    // The adjustments and the transactions are both sorted by transaction
    // id and then matched in one pass: sequential passes over both lists,
    // where looking up each transaction's adjustments would jump about them.
    struct Keyed {
        int64_t id;
        ProjectedAdjustment adjustment;
    };
    std::vector<Keyed> keyed(b.transaction_adjustments.size());
    std::vector<std::pair<int64_t, uint32_t>> ids(keyed.size());
    for (size_t k = 0; k < keyed.size(); ++k) {
        const TransactionAdjustment& a = b.transaction_adjustments[k];
        keyed[k] = {a.transaction_id, adjustmentDays(a, uint32_t(k))};
        p.oddDates = p.oddDates || !isPlainDate(a.new_date);
        ids[k] = {a.id, uint32_t(k)};
    }
    radixSortBy(keyed, [](const Keyed& k) { return orderedKey(k.id); });
    // Sorted by id, then kept as two lists, which take less room.
    auto index = [](std::vector<std::pair<int64_t, uint32_t>>& pairs, IdIndex& out) {
        // Lists made by the service are mostly in id order already.
        if (!std::is_sorted(pairs.begin(), pairs.end()))
            radixSortBy(pairs, [](const std::pair<int64_t, uint32_t>& k) { return orderedKey(k.first); });
        out.ids.resize(pairs.size());
        out.at.resize(pairs.size());
        for (size_t k = 0; k < pairs.size(); ++k)
            std::tie(out.ids[k], out.at[k]) = pairs[k];
        return std::adjacent_find(out.ids.begin(), out.ids.end()) != out.ids.end();
    };
    p.sharedIds = index(ids, p.adjustmentIds);
    ids.resize(count);
    for (size_t i = 0; i < count; ++i)
        ids[i] = {b.transactions[i].id, uint32_t(i)};
    p.sharedIds = index(ids, p.transactionIds) || p.sharedIds;
    p.adjustments.resize(keyed.size());
    for (size_t k = 0; k < keyed.size(); ++k)
        p.adjustments[k] = keyed[k].adjustment;
    p.adjustmentOwner.assign(keyed.size(), kNoTransaction);
    size_t group = 0;
    for (const auto& [id, index] : ids) {
        while (group < keyed.size() && keyed[group].id < id)
            ++group;
        size_t end = group;
        while (end < keyed.size() && keyed[end].id == id)
            ++end;
        p.transactions[index].adjustmentsBegin = uint32_t(group);
        p.transactions[index].adjustmentsEnd = uint32_t(end);
        sortAdjustmentGroup(p, uint32_t(group), uint32_t(end));
        // An adjustment that shows its occurrence outside the transaction's
        // days makes it one that a range there must look at.
        const auto [firstN, lastN] = placedSpan(p, index);
        for (size_t k = group; k < end; ++k) {
            p.adjustmentOwner[keyed[k].adjustment.index] = index;
            const int32_t n = keyed[k].adjustment.newN;
            if (n != std::numeric_limits<int32_t>::min() && (n < firstN || n > lastN))
                p.movedIn.emplace_back(n, index);
        }
    }
    for (size_t k = 0; k < keyed.size(); ++k)
        if (p.adjustmentOwner[keyed[k].adjustment.index] == kNoTransaction
            && (p.orphanOwners.empty() || p.orphanOwners.back() != keyed[k].id))
            p.orphanOwners.push_back(keyed[k].id);
    // Made in transaction order, so a stable sort by day leaves each day's
    // transactions in list order.
    auto byDay = [](const std::pair<int32_t, uint32_t>& item) { return orderedKey(item.first); };
    radixSortBy(p.oneOffs, byDay);
    // By day, then transaction, as updates keep it.
    radixSortBy(p.movedIn, [](const std::pair<int32_t, uint32_t>& item) {
        return uint64_t(uint32_t(item.first) ^ 0x80000000u) << 32 | item.second;
    });
    p.checkpoints.resize(p.scopes.size());
    return p;
}

const BudgetProjection& storeProjection(const LocalStore& store)
{
    const Budget& b = *store.budget;
    BudgetProjection* current = store.projection.get();
    bool fresh = false;
    if (current && current->budget == &b) {
        if (current->revision == store.change_count) {
            const void* data[4];
            size_t size[4];
            collectLists(b, data, size);
            fresh = std::equal(data, data + 4, current->listData) && std::equal(size, size + 4, current->listSize);
        } else if (current->notedTo == store.change_count) {
            current->keptLedgers.clear();
            fresh = updateProjection(*current, b, store.change_count);
        }
    }
    if (!fresh) {
        const bool first = !current;
        BudgetProjection::WalkRooms rooms = current ? std::move(current->rooms) : BudgetProjection::WalkRooms();
        store.projection.reset();
        store.projection = std::make_shared<BudgetProjection>(projectBudget(b, store.change_count));
        store.projection->rooms = std::move(rooms);
        // Making it sorts copies of the budget's lists; the first time, their
        // pages go back to the system rather than stay with the process while
        // the budget is open. Later makings reuse them.
        if (first)
            malloc_trim(0);
    }
    return *store.projection;
}

void noteChange(const LocalStore& store, OpKind kind, Entity entity, int64_t id)
{
    BudgetProjection* p = store.projection.get();
    // A change that went unnoted leaves notedTo behind for good, as do
    // more changes than an update is worth.
    if (p && p->notedTo + 1 == store.change_count && p->notes.size() < kMaxProjectionNotes) {
        p->notes.push_back({entity, kind, id});
        p->notedTo = store.change_count;
    }
}

uint32_t scopeIndex(const BudgetProjection& p, int64_t accountId)
{
    auto it = p.scopeOfId.find(accountId);
    return it == p.scopeOfId.end() ? 0 : it->second;
}

double projectedBalance(const BudgetProjection& p, uint32_t scope, int64_t dayN)
{
    dayN = clampDay(dayN);
    return stateBefore(p, scope, dayN + 1, dayN).balance;
}

void projectedDays(const BudgetProjection& p, uint32_t scope, int64_t fromN, int64_t toN, std::vector<ScopeDay>& out)
{
    out.clear();
    if (fromN > toN)
        return;
    out.reserve(size_t(toN - fromN + 1));
    WalkState state = stateBefore(p, scope, fromN, toN);
    walkDays(p, scope, state, fromN, toN, toN, &out);
}

bool countsIn(const BudgetProjection& p, uint32_t transaction, uint32_t scope)
{
    return shareIn(p, p.transactions[transaction], scope) != nullptr;
}

// The walk's steps live here, beside the day sums that walk most, so that
// they are compiled into them.
namespace {

// The part of the transaction's adjustments (sorted by their earlier days)
// that holds every one that can act on fromN..toN, and perhaps a few more
// that cannot.
std::span<const ProjectedAdjustment> adjustmentsNear(
    const BudgetProjection& p, uint32_t transaction, int64_t fromN, int64_t toN)
{
    const ProjectedTransaction& t = p.transactions[transaction];
    const uint32_t begin = t.adjustmentsBegin, end = t.adjustmentsEnd;
    // One that acts on the range has a day in it, so its earlier day lies
    // at most the reach before the range.
    const ProjectedAdjustment* const first = p.adjustments.data() + begin;
    const ProjectedAdjustment* const last = p.adjustments.data() + end;
    const int64_t lowest = fromN - p.adjustmentReach;
    const ProjectedAdjustment* at = end - begin <= 8
        ? first
        : std::partition_point(first, last, [&](const ProjectedAdjustment& a) { return earlierDay(a) < lowest; });
    const ProjectedAdjustment* stop = at;
    while (stop != last && earlierDay(*stop) <= toN)
        ++stop;
    return {at, stop};
}

}  // namespace

void RangeWalk::list(const BudgetProjection& p, uint32_t scope, int64_t fromN, int64_t toN)
{
    std::vector<uint32_t>& out = transactions;
    out.clear();
    if (fromN > toN)
        return;
    auto active = [&](const ProjectedSeries& s) {
        if (s.firstN <= toN && s.lastN >= fromN)
            out.push_back(s.transaction);
    };
    if (scope == 0) {
        for (const ProjectedSeries& s : p.series)
            active(s);
    } else {
        for (uint32_t k : p.scopes[scope].series)
            active(p.series[k]);
    }
    const size_t seriesCount = out.size();
    for (const auto* list : {&p.oneOffs, &p.movedIn}) {
        auto it = std::lower_bound(list->begin(), list->end(), std::pair<int32_t, uint32_t>(clampDay(fromN), 0));
        if (scope == 0) {
            for (; it != list->end() && it->first <= toN; ++it)
                out.push_back(it->second);
            continue;
        }
        // The shares of one-offs of nearby days lie far apart: fetched ahead.
        for (; it != list->end() && it->first <= toN; ++it) {
            if (list->end() - it > 16)
                __builtin_prefetch(&p.transactions[(it + 16)->second]);
            if (countsIn(p, it->second, scope))
                out.push_back(it->second);
        }
    }
    // The series come in list order; the rest are sorted on their own and
    // merged in. A long range's many are put in order through one bit per
    // transaction of the list instead: a pass over the bits costs less than
    // comparing them.
    const size_t words = (p.budget->transactions.size() + 63) / 64;
    if (out.size() - seriesCount >= std::max<size_t>(words, 64)) {
        marks.assign(words, 0);
        for (uint32_t i : out)
            marks[i / 64] |= uint64_t(1) << (i % 64);
        out.clear();
        for (size_t w = 0; w < words; ++w)
            for (uint64_t bits = marks[w]; bits != 0; bits &= bits - 1)
                out.push_back(uint32_t(w * 64 + size_t(std::countr_zero(bits))));
        return;
    }
    const auto middle = out.begin() + std::ptrdiff_t(seriesCount);
    if (out.size() > seriesCount) {
        std::sort(middle, out.end());
        std::inplace_merge(out.begin(), middle, out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }
}

void RangeWalk::prefetch(const BudgetProjection& p, size_t at, bool texts) const
{
    const std::vector<uint32_t>& list = transactions;
    // Two stages, the second reading what the first fetched: the
    // transaction's record, then its series and its adjustments' days (and
    // its shares or texts, when asked and kept apart).
    if (at + 16 < list.size()) {
        __builtin_prefetch(&p.transactions[list[at + 16]]);
        p.budget->transactions.prefetchPlace(list[at + 16]);
    }
    if (at + 8 < list.size()) {
        const uint32_t i = list[at + 8];
        const ProjectedTransaction& t = p.transactions[i];
        if (t.isSeries())
            __builtin_prefetch(&p.series[size_t(t.dayOrSeries)]);
        // Of its adjustments a range reaches a few, found by a search.
        const uint32_t middle = (t.adjustmentsBegin + t.adjustmentsEnd) / 2;
        if (middle < t.adjustmentsEnd)
            __builtin_prefetch(&p.adjustments[middle]);
        if (t.shareCount == ProjectedTransaction::kSharesApart)
            __builtin_prefetch(&p.shares[t.inlineShares[0].scope]);
        if (texts) {
            const Transaction& record = p.budget->transactions[i];
            __builtin_prefetch(&record.description);
            __builtin_prefetch(&record.category);
        }
    }
}

bool RangeWalk::needsDates(const BudgetProjection& p) { return p.oddDates; }

void RangeWalk::expand(const BudgetProjection& p, uint32_t transaction, const DayRange& range)
{
    const ProjectedTransaction& t = p.transactions[transaction];
    // The amounts need no list order: the expansion puts a day's adjusted
    // ones in it by their places in the list.
    const std::span<const AdjustmentDays> near = adjustmentsNear(p, transaction, range.fromN, range.toN);
    if (!t.isSeries()) {
        ExpansionSource source;
        source.startN = t.dayOrSeries;
        source.amount = t.amount;
        expandPreparedAmounts(source, SeriesStep(), near, range, amounts, merging);
        return;
    }
    const ProjectedSeries& s = p.series[size_t(t.dayOrSeries)];
    const ExpansionSource source{s.start, s.firstN + 2, s.endN, s.amount, true, (s.flags & 2) != 0, (s.flags & 4) != 0};
    expandPreparedAmounts(source, s.step, near, range, amounts, merging);
}

std::span<const Occurrence> RangeWalk::occurrences(
    const BudgetProjection& p, uint32_t transaction, const DayRange& range)
{
    // Its adjustments that can act on the range, in list order.
    acting.clear();
    for (const ProjectedAdjustment& a : adjustmentsNear(p, transaction, range.fromN, range.toN))
        if ((a.originalN >= range.fromN && a.originalN <= range.toN) || (a.newN >= range.fromN && a.newN <= range.toN))
            acting.push_back(a.index);
    std::sort(acting.begin(), acting.end());
    adjustments.clear();
    for (uint32_t k : acting)
        adjustments.push_back(&p.budget->transaction_adjustments[k]);
    const ProjectedTransaction& t = p.transactions[transaction];
    const SeriesStep* step = t.isSeries() ? &p.series[size_t(t.dayOrSeries)].step : nullptr;
    expandPrepared(p.budget->transactions[transaction], step, adjustments, range, dated);
    return dated;
}

std::span<const Occurrence> RangeWalk::expandDated(
    const BudgetProjection& p, uint32_t transaction, const DayRange& range)
{
    occurrences(p, transaction, range);
    amounts.clear();
    for (const Occurrence& o : dated)
        amounts.push_back({dayNumber(o.date), 0, o.amount});
    return dated;
}

std::string projectedColor(const BudgetProjection& p, const Transaction& t)
{
    return categoryColor(p.colors, t.category);
}

uint32_t colorIndex(const BudgetProjection& p, uint32_t transaction)
{
    const uint32_t slot = p.transactions[transaction].category;
    if (slot != ProjectedTransaction::kNoCategory) [[likely]]
        return p.categoryColors[slot];
    return colorSlot(p, p.budget->transactions[transaction].category);
}

std::optional<uint32_t> categorySlot(const BudgetProjection& p, std::string_view category)
{
    auto it = p.categorySlots.find(category);
    return it == p.categorySlots.end() ? std::nullopt : std::optional<uint32_t>(it->second);
}

bool hasCategory(const BudgetProjection& p, uint32_t transaction, std::optional<uint32_t> slot, std::string_view text)
{
    const uint32_t own = p.transactions[transaction].category;
    if (own != ProjectedTransaction::kNoCategory) [[likely]]
        return slot && *slot == own;
    return p.budget->transactions[transaction].category == text;
}

std::span<const ScopeShare> sharesOf(const BudgetProjection& p, const ProjectedTransaction& t)
{
    if (t.shareCount != ProjectedTransaction::kSharesApart) [[likely]]
        return {t.inlineShares, t.shareCount};
    return {p.shares.data() + t.inlineShares[0].scope, size_t(t.inlineShares[1].scope - t.inlineShares[0].scope)};
}

// A transaction counts in a scope with a negative share exactly when it is
// a transfer into that scope's account: those are the signs the scopes give.
double displaySignIn(const BudgetProjection& p, const ProjectedTransaction& t, uint32_t scope)
{
    if (scope == 0)
        return 1;
    const ScopeShare* share = shareIn(p, t, scope);
    return share ? share->sign() : 1;
}

double balanceSignIn(const BudgetProjection& p, const ProjectedTransaction& t, uint32_t scope)
{
    // Seen from all accounts only a transfer has no share, and moves nothing.
    if (scope == 0)
        return shareIn(p, t, 0) ? 1 : 0;
    return displaySignIn(p, t, scope);
}

}  // namespace qm
