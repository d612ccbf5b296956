#include "model/range_walk.h"

#include "model/projection.h"
#include "model/projection_internal.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace qm {

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

}  // namespace qm
