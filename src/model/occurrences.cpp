#include "model/occurrences.h"

#include "model/recurrence.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace qm {

namespace {

constexpr int kMaxSteps = 20000;

// Day numbers of the occurrences that adjustments replace. Most transactions
// have none or a few in a range, which a scan handles best; a long list goes
// into a hash set so that a daily series does not rescan it at every date.
class TakenDays {
public:
    void add(int32_t n)
    {
        if (!m_big.empty()) {
            m_big.insert(n);
            return;
        }
        m_small.push_back(n);
        if (m_small.size() > 16)
            m_big.insert(m_small.begin(), m_small.end());
    }
    bool contains(int32_t n) const
    {
        if (!m_big.empty())
            return m_big.count(n) != 0;
        return std::find(m_small.begin(), m_small.end(), n) != m_small.end();
    }

private:
    std::vector<int32_t> m_small;
    std::unordered_set<int32_t> m_big;
};

int weekdayOfDayNumber(int64_t n) { return static_cast<int>((n % 7 + 10) % 7); }

// How far businessDayShift moves the date with this day number.
int shiftDays(const Transaction& t, int64_t n)
{
    if (!t.pay_on_business_day)
        return 0;
    int wd = weekdayOfDayNumber(n);
    if (wd < 5)
        return 0;
    return t.pay_early ? 4 - wd : 7 - wd;
}

// The walk over t's series, appending the dates that land in fromN..toN.
void walkSeries(const Transaction& t, const TakenDays& taken, int64_t fromN, int64_t toN,
    std::vector<Occurrence>& out)
{
    SeriesStep step = seriesStep(t.recurring_period);
    // Two days past the range, so that a weekend date just after it can move
    // back into it.
    const int64_t limit = toN + 2;
    const int64_t endN = t.has_end_date ? dayNumber(t.end_date) : std::numeric_limits<int64_t>::max();
    const bool fixedDays = step.kind == SeriesStep::ssDays && step.count > 0;
    Date cur = t.start_date;
    int64_t curN = dayNumber(cur);
    int64_t steps = 0;

    // A series of whole days reaches its first date that can land in the range
    // (a shift moves a date by at most two days) in one jump; every date it
    // skips would have fallen before the range.
    if (fixedDays && curN < fromN - 2) {
        int64_t i = (fromN - 2 - curN + step.count - 1) / step.count;
        int64_t n = curN + i * step.count;
        if (i > kMaxSteps || n > endN || n > std::numeric_limits<int32_t>::max())
            return;
        cur = fromDayNumber(static_cast<int32_t>(n));
        curN = n;
        steps = i;
    }

    for (;;) {
        if (curN > limit)
            return;
        int delta = shiftDays(t, curN);
        int64_t s = curN + delta;
        if (fromN <= s && s <= toN && !taken.contains(static_cast<int32_t>(s)))
            out.push_back({delta == 0 ? cur : fromDayNumber(static_cast<int32_t>(s)), false, t.amount, 0});
        Date next;
        int64_t nextN;
        if (fixedDays) {
            nextN = curN + step.count;
            if (nextN > std::numeric_limits<int32_t>::max())
                return;
            next = fromDayNumber(static_cast<int32_t>(nextN));
        } else {
            next = advanceSeries(step, cur);
            nextN = dayNumber(next);
        }
        if (nextN <= curN || nextN > endN || ++steps > kMaxSteps)
            return;
        cur = next;
        curN = nextN;
    }
}

void expandAdjusted(const Transaction& t, std::span<const TransactionAdjustment* const> adjustments,
    Date from, Date to, std::vector<Occurrence>& out)
{
    out.clear();
    const int64_t fromN = dayNumber(from), toN = dayNumber(to);
    if (fromN > toN)
        return;
    TakenDays taken;
    for (const TransactionAdjustment* a : adjustments) {
        int64_t n = dayNumber(a->new_date);
        if (!a->is_deleted && fromN <= n && n <= toN)
            out.push_back({a->new_date, a->is_paid, a->has_amount ? a->amount : t.amount, a->id});
        int64_t o = dayNumber(a->original_date);
        if (fromN <= o && o <= toN)
            taken.add(static_cast<int32_t>(o));
    }
    const size_t adjusted = out.size();

    if (t.is_recurring) {
        walkSeries(t, taken, fromN, toN, out);
    } else {
        int64_t n = dayNumber(t.start_date);
        if (fromN <= n && n <= toN && !taken.contains(static_cast<int32_t>(n)))
            out.push_back({t.start_date, false, t.amount, 0});
    }

    // Generated dates come out in order already (the shift never reorders
    // them), so only adjustment occurrences make a sort necessary.
    if (adjusted > 0 && out.size() > 1)
        std::stable_sort(out.begin(), out.end(),
            [](const Occurrence& a, const Occurrence& b) { return dateCmp(a.date, b.date) < 0; });
}

std::vector<const TransactionAdjustment*> adjustmentsOf(
    std::span<const TransactionAdjustment> adjustments, int64_t id)
{
    std::vector<const TransactionAdjustment*> mine;
    for (const TransactionAdjustment& a : adjustments)
        if (a.transaction_id == id)
            mine.push_back(&a);
    return mine;
}

}  // namespace

std::vector<Occurrence> expandOccurrences(const Transaction& t,
    std::span<const TransactionAdjustment> adjustments, Date from, Date to)
{
    std::vector<Occurrence> out;
    expandAdjusted(t, adjustmentsOf(adjustments, t.id), from, to, out);
    return out;
}

std::vector<Occurrence> occurrencesInRange(const Budget& b, const Transaction& t, Date from, Date to)
{
    return expandOccurrences(t, b.transaction_adjustments, from, to);
}

std::span<const TransactionAdjustment* const> AdjustmentIndex::of(int64_t transactionId) const
{
    auto range = std::equal_range(ids.begin(), ids.end(), transactionId);
    return {adjustments.data() + (range.first - ids.begin()), size_t(range.second - range.first)};
}

AdjustmentIndex indexAdjustments(std::span<const TransactionAdjustment> adjustments, Date from, Date to)
{
    AdjustmentIndex index{from, to, {}, {}};
    const int64_t fromN = dayNumber(from), toN = dayNumber(to);
    std::vector<std::pair<int64_t, size_t>> keys;
    for (size_t i = 0; i < adjustments.size(); ++i) {
        const TransactionAdjustment& a = adjustments[i];
        int64_t o = dayNumber(a.original_date), n = dayNumber(a.new_date);
        if ((fromN <= o && o <= toN) || (!a.is_deleted && fromN <= n && n <= toN))
            keys.emplace_back(a.transaction_id, i);
    }
    std::sort(keys.begin(), keys.end());
    index.ids.reserve(keys.size());
    index.adjustments.reserve(keys.size());
    for (const auto& [id, i] : keys) {
        index.ids.push_back(id);
        index.adjustments.push_back(&adjustments[i]);
    }
    return index;
}

void expandIndexed(const Transaction& t, const AdjustmentIndex& index, std::vector<Occurrence>& out)
{
    expandAdjusted(t, index.ids.empty() ? std::span<const TransactionAdjustment* const>() : index.of(t.id),
        index.from, index.to, out);
}

}  // namespace qm
