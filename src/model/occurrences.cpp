#include "model/occurrences.h"

#include "core/errors.h"
#include "core/radix_sort.h"
#include "model/recurrence.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_set>

namespace qm {

namespace {

constexpr int kMaxSteps = 20000;

// Day numbers of the occurrences that adjustments replace. Most transactions
// have none or a few in a range, which a scan handles best; a long list goes
// into a hash set so that a daily series does not rescan it at every date.
// The few are held in place: a range's walk expands every transaction with
// adjustments, and asking the heap for each would cost more than the scan.
class TakenDays {
public:
    bool empty() const { return m_count == 0; }
    void add(int32_t n)
    {
        if (m_big) {
            m_big->insert(n);
        } else if (m_count < kInPlace) {
            m_small[m_count] = n;
        } else {
            m_big = std::make_unique<std::unordered_set<int32_t>>(m_small, m_small + kInPlace);
            m_big->insert(n);
        }
        ++m_count;
    }
    bool contains(int32_t n) const
    {
        if (m_big)
            return m_big->count(n) != 0;
        return std::find(m_small, m_small + m_count, n) != m_small + m_count;
    }

private:
    static constexpr size_t kInPlace = 16;
    int32_t m_small[kInPlace];
    size_t m_count = 0;
    std::unique_ptr<std::unordered_set<int32_t>> m_big;
};

bool isCanonical(Date d)
{
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && (d.day <= 28 || d.day <= daysInMonth(d.year, d.month));
}

// Field order is day order for real calendar dates, and far cheaper to
// compare than day numbers; anything else goes through its day number.
int64_t fieldKey(Date d) { return int64_t(d.year) * 512 + d.month * 32 + d.day; }

bool dateBefore(Date a, Date b)
{
    if (isCanonical(a) && isCanonical(b))
        return fieldKey(a) < fieldKey(b);
    return dateCmp(a, b) < 0;
}

int weekdayOfDayNumber(int64_t n) { return static_cast<int>((n % 7 + 10) % 7); }

// How far businessDayShift moves the date with this day number.
int shiftDays(const ExpansionSource& t, int64_t n)
{
    if (!t.payOnBusinessDay)
        return 0;
    int wd = weekdayOfDayNumber(n);
    if (wd < 5)
        return 0;
    return t.payEarly ? 4 - wd : 7 - wd;
}

// Moves cur, a real calendar date from year 0 on, and its step count along a
// series that moves the given months per step, as far as it goes while
// staying in months before lowMonth. False when the series ends on the way
// (past its end or its step bound), which can only be before the range.
bool jumpMonths(const SeriesStep& step, int64_t months, int64_t lowMonth, int64_t endKey, Date& cur, int64_t& steps)
{
    const int64_t at = int64_t(cur.year) * 12 + cur.month - 1;
    const int64_t n = (lowMonth - at) / months - 1;
    if (n <= 0)
        return true;
    if (steps + n > kMaxSteps)
        return false;
    const int64_t to = at + n * months;
    Date jumped = seriesDateIn(step, cur, static_cast<int32_t>(to / 12), static_cast<int32_t>(to % 12 + 1));
    if (fieldKey(jumped) > endKey)
        return false;
    cur = jumped;
    steps += n;
    return true;
}

// The walk over t's series. Each date that lands in the range and is not
// taken goes to found(day number, date), the date being null when the caller
// must make it from the day number (so that callers who only add amounts
// never pay for it).
template <class Found>
void walkSeries(
    const ExpansionSource& t, const SeriesStep& step, const TakenDays& taken, const DayRange& range, Found&& found)
{
    const int64_t fromN = range.fromN, toN = range.toN;
    // Two days past the range, so that a weekend date just after it can move
    // back into it.
    const int64_t limit = toN + 2;
    const int64_t endN = t.endN;
    const bool hasEnd = endN != kNoEnd;
    int64_t curN = t.startN;
    int64_t steps = 0;
    // unshifted is the date with day number at, or null.
    auto emit = [&](int64_t at, const Date* unshifted) {
        int delta = shiftDays(t, at);
        int64_t s = at + delta;
        if (s < fromN || s > toN || (!taken.empty() && taken.contains(static_cast<int32_t>(s))))
            return;
        found(s, delta == 0 ? unshifted : nullptr);
    };

    if (step.kind == SeriesStep::ssDays && step.count > 0) {
        // A series of whole days reaches its first date that can land in the
        // range (a shift moves a date by at most two days) in one jump: every
        // date it skips would have fallen before the range.
        const int64_t k = step.count;
        if (curN < fromN - 2) {
            steps = (fromN - 2 - curN + k - 1) / k;
            curN += steps * k;
            if (steps > kMaxSteps || curN > endN || curN > std::numeric_limits<int32_t>::max())
                return;
        }
        for (;; curN += k) {
            if (curN > limit)
                return;
            emit(curN, steps == 0 ? &t.start : nullptr);
            int64_t nextN = curN + k;
            if (nextN > std::numeric_limits<int32_t>::max() || nextN > endN || ++steps > kMaxSteps)
                return;
        }
    }

    Date cur = t.start;
    // Month and year series walk from their start, but the dates more than
    // two days before the range can never land in it, so they are passed by
    // their fields alone, without the day number each date below costs.
    // Field order is day order only for real calendar dates.
    if (isCanonical(cur) && fromN - 2 > std::numeric_limits<int32_t>::min()) {
        const int64_t endKey =
            hasEnd ? fieldKey(fromDayNumber(static_cast<int32_t>(endN))) : std::numeric_limits<int64_t>::max();
        const Date low = fromDayNumber(static_cast<int32_t>(fromN - 2));
        const int64_t lowKey = fieldKey(low);
        const int64_t lowMonth = int64_t(low.year) * 12 + low.month - 1;
        try {
            // Where every step moves the same number of months, all steps
            // but the last one or two before the range go in one jump.
            if (int64_t months = cur.year >= 0 ? monthsPerStep(step, cur, false) : 0)
                if (!jumpMonths(step, months, lowMonth, endKey, cur, steps))
                    return;
            while (fieldKey(cur) < lowKey) {
                std::optional<Date> stepped = stepSeries(step, cur);
                if (!stepped)
                    break;
                const Date next = *stepped;
                const int64_t key = fieldKey(next);
                // The walk below takes this step again and decides it.
                if (key >= lowKey || key <= fieldKey(cur) || !isCanonical(next))
                    break;
                if (key > endKey || ++steps > kMaxSteps)
                    return;
                cur = next;
                if (int64_t months = cur.year >= 0 ? monthsPerStep(step, cur, true) : 0)
                    if (!jumpMonths(step, months, lowMonth, endKey, cur, steps))
                        return;
            }
        } catch (const ValueError&) {
        }
        curN = dayNumber(cur);
    }
    for (;;) {
        if (curN > limit)
            return;
        emit(curN, &cur);
        int32_t nextN = 0;
        Date next = advanceSeries(step, cur, &nextN);
        if (sameDate(next, cur) || nextN <= curN || nextN > endN || ++steps > kMaxSteps)
            return;
        cur = next;
        curN = nextN;
    }
}

double adjustedAmount(const Transaction& t, const TransactionAdjustment& a)
{
    return a.has_amount ? a.amount : t.amount;
}

// t's occurrences in the range (from <= to), as items the two makers build:
// first those of the adjustments, in list order, then the generated ones,
// in date order. Returns how many came from adjustments.
template <class Item, class FromAdjustment, class Generated>
size_t collectOccurrences(const Transaction& t, const SeriesStep* step,
    std::span<const TransactionAdjustment* const> adjustments, const DayRange& range, std::vector<Item>& out,
    FromAdjustment&& fromAdjustment, Generated&& generated)
{
    out.clear();
    TakenDays taken;
    for (const TransactionAdjustment* a : adjustments) {
        if (!a->is_deleted && range.contains(a->new_date))
            out.push_back(fromAdjustment(*a));
        if (range.contains(a->original_date))
            taken.add(dayNumber(a->original_date));
    }
    const size_t adjusted = out.size();
    if (t.is_recurring) {
        const SeriesStep own = step ? SeriesStep() : seriesStep(t.recurring_period);
        walkSeries(expansionSource(t), step ? *step : own, taken, range,
            [&](int64_t n, const Date* d) { out.push_back(generated(n, d)); });
    } else if (range.contains(t.start_date)) {
        int32_t n = dayNumber(t.start_date);
        if (taken.empty() || !taken.contains(n))
            out.push_back(generated(n, &t.start_date));
    }
    return adjusted;
}

void expandAdjusted(const Transaction& t, const SeriesStep* step,
    std::span<const TransactionAdjustment* const> adjustments, const DayRange& range, std::vector<Occurrence>& out)
{
    const size_t adjusted = collectOccurrences(
        t, step, adjustments, range, out,
        [&](const TransactionAdjustment& a) {
            return Occurrence{a.new_date, a.is_paid, adjustedAmount(t, a), a.id};
        },
        [&](int64_t n, const Date* d) {
            return Occurrence{d ? *d : fromDayNumber(static_cast<int32_t>(n)), false, t.amount, 0};
        });
    // Generated dates come out in order already (the shift never reorders
    // them), so only the adjustments' occurrences need sorting, then a
    // stable merge that keeps them first on a shared date.
    if (adjusted == 0)
        return;
    auto before = [](const Occurrence& a, const Occurrence& b) { return dateBefore(a.date, b.date); };
    auto middle = out.begin() + std::ptrdiff_t(adjusted);
    if (adjusted > 1)
        std::stable_sort(out.begin(), middle, before);
    std::inplace_merge(out.begin(), middle, out.end(), before);
}

// The adjustments' amounts (the first `adjusted` items, in any order) put in
// order by day, and on one day by their places in the list, then merged ahead
// of the generated ones on a shared day.
void mergeAdjustedAmounts(std::vector<DayAmount>& items, size_t adjusted, std::vector<DayAmount>& out)
{
    auto before = [](const DayAmount& a, const DayAmount& b) {
        return a.day != b.day ? a.day < b.day : a.adjustment < b.adjustment;
    };
    // A handful is put in order in place.
    if (adjusted > 16) {
        std::sort(items.begin(), items.begin() + std::ptrdiff_t(adjusted), before);
    } else {
        for (size_t i = 1; i < adjusted; ++i) {
            const DayAmount item = items[i];
            size_t j = i;
            for (; j > 0 && before(item, items[j - 1]); --j)
                items[j] = items[j - 1];
            items[j] = item;
        }
    }
    out.clear();
    for (size_t i = 0, j = adjusted; i < adjusted || j < items.size();) {
        bool adjustment = j == items.size() || (i < adjusted && items[i].day <= items[j].day);
        out.push_back(items[adjustment ? i++ : j++]);
    }
}

template <class List>
std::vector<const TransactionAdjustment*> adjustmentsOf(const List& adjustments, int64_t id)
{
    std::vector<const TransactionAdjustment*> mine;
    for (const TransactionAdjustment& a : adjustments)
        if (a.transaction_id == id)
            mine.push_back(&a);
    return mine;
}

void expandPlainAmounts(
    const ExpansionSource& t, const SeriesStep& step, const DayRange& range, std::vector<DayAmount>& out)
{
    // Without adjustments every occurrence carries t's amount and the walk
    // yields them in date order already.
    if (t.recurring) {
        walkSeries(t, step, TakenDays(), range, [&](int64_t n, const Date*) {
            out.push_back({int32_t(n), 0, t.amount});
        });
    } else if (t.startN >= range.fromN && t.startN <= range.toN) {
        out.push_back({int32_t(t.startN), 0, t.amount});
    }
}

uint64_t idBit(int64_t id, int shift) { return (uint64_t(id) * 0x9E3779B97F4A7C15ull) >> shift; }

}  // namespace

DayRange dayRange(Date from, Date to)
{
    DayRange r;
    r.fromN = dayNumber(from);
    r.toN = dayNumber(to);
    if (r.fromN <= r.toN) {
        r.fromKey = fieldKey(fromDayNumber(int32_t(r.fromN)));
        r.toKey = fieldKey(fromDayNumber(int32_t(r.toN)));
    }
    return r;
}

bool DayRange::contains(Date d) const
{
    if (isCanonical(d)) {
        int64_t k = fieldKey(d);
        return fromKey <= k && k <= toKey;
    }
    int64_t n = dayNumber(d);
    return fromN <= n && n <= toN;
}

namespace {

template <class List>
std::vector<Occurrence> occurrencesOf(const Transaction& t, const List& adjustments, Date from, Date to)
{
    std::vector<Occurrence> out;
    DayRange range = dayRange(from, to);
    if (range.fromN <= range.toN)
        expandAdjusted(t, nullptr, adjustmentsOf(adjustments, t.id), range, out);
    return out;
}

}  // namespace

std::vector<Occurrence> expandOccurrences(
    const Transaction& t, std::span<const TransactionAdjustment> adjustments, Date from, Date to)
{
    return occurrencesOf(t, adjustments, from, to);
}

std::vector<Occurrence> occurrencesInRange(const Budget& b, const Transaction& t, Date from, Date to)
{
    return occurrencesOf(t, b.transaction_adjustments, from, to);
}

std::span<const TransactionAdjustment* const> AdjustmentIndex::of(int64_t transactionId) const
{
    if (present.empty())
        return {};
    uint64_t bit = idBit(transactionId, present_shift);
    if (!(present[bit >> 6] >> (bit & 63) & 1))
        return {};
    auto range = std::equal_range(ids.begin(), ids.end(), transactionId);
    return {adjustments.data() + (range.first - ids.begin()), size_t(range.second - range.first)};
}

namespace {

template <class List>
AdjustmentIndex indexAdjustmentsOf(const List& adjustments, Date from, Date to)
{
    AdjustmentIndex index;
    index.range = dayRange(from, to);
    const DayRange& range = index.range;
    std::vector<std::pair<int64_t, size_t>> keys;
    if (range.fromN <= range.toN) {
        for (size_t i = 0; i < adjustments.size(); ++i) {
            const TransactionAdjustment& a = adjustments[i];
            if (range.contains(a.original_date) || (!a.is_deleted && range.contains(a.new_date)))
                keys.emplace_back(a.transaction_id, i);
        }
    }
    radixSortBy(keys, [](const std::pair<int64_t, size_t>& k) { return orderedKey(k.first); });
    index.ids.reserve(keys.size());
    index.adjustments.reserve(keys.size());
    for (const auto& [id, i] : keys) {
        index.ids.push_back(id);
        index.adjustments.push_back(&adjustments[i]);
    }
    // About eight bits per adjustment: most transactions have none in the
    // range and are turned away without a search.
    int bits = std::max(6, int(std::bit_width(index.ids.size() * 8)));
    index.present_shift = 64 - bits;
    index.present.assign(size_t(1) << (bits - 6), 0);
    for (int64_t id : index.ids) {
        uint64_t bit = idBit(id, index.present_shift);
        index.present[bit >> 6] |= uint64_t(1) << (bit & 63);
    }
    return index;
}

}  // namespace

AdjustmentIndex indexAdjustments(std::span<const TransactionAdjustment> adjustments, Date from, Date to)
{
    return indexAdjustmentsOf(adjustments, from, to);
}

AdjustmentIndex indexAdjustments(const AdjustmentList& adjustments, Date from, Date to)
{
    return indexAdjustmentsOf(adjustments, from, to);
}

void expandIndexed(const Transaction& t, const AdjustmentIndex& index, std::vector<Occurrence>& out)
{
    out.clear();
    if (index.range.fromN <= index.range.toN)
        expandAdjusted(t, nullptr, index.of(t.id), index.range, out);
}

void expandPrepared(const Transaction& t, const SeriesStep* step,
    std::span<const TransactionAdjustment* const> adjustments, const DayRange& range, std::vector<Occurrence>& out)
{
    out.clear();
    if (range.fromN <= range.toN)
        expandAdjusted(t, step, adjustments, range, out);
}

AdjustmentDays adjustmentDays(const TransactionAdjustment& a, uint32_t index)
{
    return {dayNumber(a.original_date), a.is_deleted ? std::numeric_limits<int32_t>::min() : dayNumber(a.new_date),
        index, a.has_amount, a.amount};
}

ExpansionSource expansionSource(const Transaction& t)
{
    return {t.start_date, dayNumber(t.start_date), t.has_end_date ? dayNumber(t.end_date) : kNoEnd, t.amount,
        t.is_recurring, t.pay_on_business_day, t.pay_early};
}

void expandPreparedAmounts(const Transaction& t, const SeriesStep* step, std::span<const AdjustmentDays> adjustments,
    const DayRange& range, std::vector<DayAmount>& out, std::vector<DayAmount>& spare)
{
    const SeriesStep own = step || !t.is_recurring ? SeriesStep() : seriesStep(t.recurring_period);
    expandPreparedAmounts(expansionSource(t), step ? *step : own, adjustments, range, out, spare);
}

void expandPreparedAmounts(const ExpansionSource& t, const SeriesStep& step,
    std::span<const AdjustmentDays> adjustments, const DayRange& range, std::vector<DayAmount>& out,
    std::vector<DayAmount>& spare)
{
    out.clear();
    if (range.fromN > range.toN)
        return;
    if (adjustments.empty())
        return expandPlainAmounts(t, step, range, out);
    // As collectOccurrences, from the days at hand: a day number lies in the
    // range exactly when its date does.
    std::vector<DayAmount>& items = spare;
    items.clear();
    TakenDays taken;
    auto inRange = [&](int64_t n) { return n >= range.fromN && n <= range.toN; };
    for (const AdjustmentDays& a : adjustments) {
        if (a.newN != std::numeric_limits<int32_t>::min() && inRange(a.newN))
            items.push_back({a.newN, uint32_t(a.index) + 1, a.hasAmount ? a.amount : t.amount});
        if (inRange(a.originalN))
            taken.add(a.originalN);
    }
    const size_t adjusted = items.size();
    if (t.recurring) {
        walkSeries(t, step, taken, range, [&](int64_t n, const Date*) { items.push_back({int32_t(n), 0, t.amount}); });
    } else if (inRange(t.startN)) {
        const int32_t n = int32_t(t.startN);
        if (taken.empty() || !taken.contains(n))
            items.push_back({n, 0, t.amount});
    }
    mergeAdjustedAmounts(items, adjusted, out);
}

}  // namespace qm
