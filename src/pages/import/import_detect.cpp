#include "pages/import/import_detect.h"
#include "pages/import/import_detect_internal.h"

#include "core/errors.h"
#include "model/occurrences.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace qm {

namespace {

struct PeriodBand {
    double low, high;  // mean interval in days, both included
    const char* period;
    const char* label;
};

constexpr PeriodBand kPeriodBands[] = {
    {6, 8, "nth_1_weeks", "Weekly"},
    {13, 15, "nth_2_weeks", "Every 2 weeks"},
    {28, 32, "nth_1_months", "Monthly"},
    {58, 65, "nth_2_months", "Every 2 months"},
    {85, 95, "nth_3_months", "Quarterly"},
    {175, 190, "nth_6_months", "Every 6 months"},
    {355, 375, "nth_1_years", "Yearly"},
};

constexpr double kMinSimilarity = 0.4;
constexpr double kMatchScore = 0.45;
constexpr double kDuplicateScore = 0.75;
constexpr int64_t kMaxDayDistance = 7;
constexpr int64_t kOccurrenceWindow = 45;
constexpr uint32_t kNone = 0xFFFFFFFFu;

std::string asciiUpper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

std::optional<int64_t> dayNumberOf(Date d)
{
    try {
        return dayNumber(d);
    } catch (const ValueError&) {
        return std::nullopt;
    }
}

// The series only reach day arithmetic's limits on dates no statement or
// budget holds; such a transaction is compared by its start date.
std::vector<Date> candidateDates(const Transaction& t, std::span<const TransactionAdjustment> adjustments, Date rowDate)
{
    std::vector<Date> dates;
    if (t.is_recurring && !t.recurring_period.empty()) {
        try {
            for (const Occurrence& o : expandOccurrences(
                     t, adjustments, subDays(rowDate, kOccurrenceWindow), addDays(rowDate, kOccurrenceWindow)))
                dates.push_back(o.date);
        } catch (const ValueError&) {
            dates.clear();
        }
    }
    if (dates.empty())
        dates.push_back(t.start_date);
    return dates;
}

double candidateScore(int64_t distance, double similarity, double amountDifference)
{
    double score = (1.0 - 0.03 * double(distance)) * similarity;
    if (amountDifference > 0.01)
        score *= 0.7;
    return score;
}

bool amountTooFar(double transactionAmount, double difference)
{
    return std::fabs(transactionAmount) * 0.2 + 0.01 < difference;
}

// What the duplicate pass knows of a budget transaction before meeting any
// row.
struct PreparedTransaction {
    std::string upper;
    std::vector<std::pair<uint8_t, uint32_t>> byteCounts;  // each byte present, with its count
    std::optional<int64_t> startDay;
    bool expands = false;
    std::span<const TransactionAdjustment> adjustments;
};

struct ByTransaction {
    bool operator()(const TransactionAdjustment& a, int64_t id) const { return a.transaction_id < id; }
    bool operator()(int64_t id, const TransactionAdjustment& a) const { return id < a.transaction_id; }
};

}  // namespace

double similarityRatio(size_t matches, size_t total)
{
    if (total == 0)
        return 1.0;
    return 2.0 * double(matches) / double(total);
}

BlockMatcher::Block BlockMatcher::longestBlock(const Ranges& r)
{
    Block best{r.alo, r.blo, 0};
    // Nothing can be longer than the shorter range.
    const size_t limit = std::min(r.ahi - r.alo, r.bhi - r.blo);
    // A fresh row number per call, with a gap, so no entry of an earlier call
    // passes for the previous row.
    m_row += 2;
    for (size_t i = r.alo; i < r.ahi; ++i, ++m_row) {
        const size_t cur = m_row & 1, prev = cur ^ 1;
        const uint32_t* prevLen = m_runLength[prev].data();
        const uint64_t* prevRow = m_runRow[prev].data();
        uint32_t* curLen = m_runLength[cur].data();
        uint64_t* curRow = m_runRow[cur].data();
        const auto c = static_cast<unsigned char>(m_a[i]);
        if (m_firstCall[c] != m_call)
            continue;
        uint32_t j = m_first[c];
        // Positions before the range are passed over; the chain ends at kNone,
        // above every position.
        while (j < r.blo)
            j = m_next[j];
        for (; j < r.bhi; j = m_next[j]) {
            const uint32_t k = (j > r.blo && prevRow[j] == m_row - 1 ? prevLen[j] : 0) + 1;
            curLen[j + 1] = k;
            curRow[j + 1] = m_row;
            if (k > best.size) {
                best = {i + 1 - k, j + 1 - k, k};
                if (k == limit)
                    return best;
            }
        }
    }
    return best;
}

size_t BlockMatcher::matchingBytes(std::string_view a, std::string_view b)
{
    if (a.empty() || b.empty())
        return 0;
    m_a = a;
    m_b = b;
    ++m_call;
    m_next.resize(b.size());
    for (size_t j = b.size(); j-- > 0;) {
        const auto c = static_cast<unsigned char>(b[j]);
        m_next[j] = m_firstCall[c] == m_call ? m_first[c] : kNone;
        m_first[c] = uint32_t(j);
        m_firstCall[c] = m_call;
    }
    for (int p = 0; p < 2; ++p) {
        if (m_runLength[p].size() < b.size() + 1) {
            m_runLength[p].resize(b.size() + 1);
            m_runRow[p].assign(b.size() + 1, 0);
        }
    }
    // Rows stamped before this call must never look like the previous row.
    m_row += 2;

    size_t total = 0;
    m_work.clear();
    m_work.push_back({0, a.size(), 0, b.size()});
    while (!m_work.empty()) {
        const Ranges r = m_work.back();
        m_work.pop_back();
        const Block block = longestBlock(r);
        if (block.size == 0)
            continue;
        total += block.size;
        if (r.alo < block.a && r.blo < block.b)
            m_work.push_back({r.alo, block.a, r.blo, block.b});
        if (block.a + block.size < r.ahi && block.b + block.size < r.bhi)
            m_work.push_back({block.a + block.size, r.ahi, block.b + block.size, r.bhi});
    }
    return total;
}

double descriptionSimilarity(std::string_view a, std::string_view b)
{
    thread_local BlockMatcher matcher;
    return similarityRatio(matcher.matchingBytes(a, b), a.size() + b.size());
}

std::string recurringGroupKey(std::string_view description)
{
    std::string key;
    std::string word;
    auto endWord = [&] {
        if (word.empty())
            return;
        if (!key.empty())
            key += ' ';
        key += word;
        word.clear();
    };
    for (char ch : description) {
        char c = ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch;
        if (c >= 'A' && c <= 'Z')
            word += c;
        else if (c < '0' || c > '9')
            endWord();
    }
    endWord();
    return key;
}

void detectRecurringPatterns(std::vector<ImportRow>& rows)
{
    std::unordered_map<std::string, size_t> groupOfKey;
    std::vector<std::vector<size_t>> groups;
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string key = recurringGroupKey(rows[i].description);
        if (key.empty())
            continue;
        auto [it, added] = groupOfKey.try_emplace(std::move(key), groups.size());
        if (added)
            groups.emplace_back();
        groups[it->second].push_back(i);
    }

    int32_t series = 0;
    for (std::vector<size_t>& group : groups) {
        if (group.size() < 2)
            continue;
        std::stable_sort(
            group.begin(), group.end(), [&](size_t x, size_t y) { return dateCmp(rows[x].date, rows[y].date) < 0; });

        std::optional<double> largest, smallest;
        for (size_t i : group) {
            const double a = std::fabs(rows[i].amount);
            if (std::isnan(a))
                continue;
            largest = largest ? std::max(*largest, a) : a;
            smallest = smallest ? std::min(*smallest, a) : a;
        }
        if (largest && *largest > 0 && (*largest - *smallest) / *largest > 0.15)
            continue;

        std::vector<int64_t> intervals;
        bool datesUsable = true;
        for (size_t k = 1; k < group.size() && datesUsable; ++k) {
            std::optional<int64_t> from = dayNumberOf(rows[group[k - 1]].date);
            std::optional<int64_t> to = dayNumberOf(rows[group[k]].date);
            datesUsable = from && to;
            if (datesUsable)
                intervals.push_back(*to - *from);
        }
        if (!datesUsable)
            continue;
        int64_t sum = 0;
        for (int64_t v : intervals)
            sum += v;
        const double mean = double(sum) / double(intervals.size());
        double deviation = 0;
        for (int64_t v : intervals)
            deviation = std::max(deviation, std::fabs(double(v) - mean));
        if (deviation > (mean <= 20 ? 2.0 : 5.0))
            continue;
        const PeriodBand* band = nullptr;
        for (const PeriodBand& b : kPeriodBands)
            if (mean >= b.low && mean <= b.high)
                band = &b;
        if (!band)
            continue;

        for (size_t i : group) {
            ImportRow& row = rows[i];
            row.recurringGroup = series;
            row.isRecurring = true;
            ImportRowMore& m = more(row);
            m.suggestedPeriod = band->period;
            m.suggestedLabel = band->label;
            m.makeRecurring = true;
            m.recurringPeriod = band->period;
        }
        ++series;
    }
}

bool copyImportMatchTargets(ImportMatchTargets& targets, const Budget& budget, size_t& next, size_t count)
{
    const TransactionList& transactions = budget.transactions;
    const auto& adjustments = budget.transaction_adjustments;
    const size_t total = transactions.size() + adjustments.size();
    const size_t end = std::min(total, next + std::min(count, total));
    // Room for the most a budget can give, asked for once: a list that grew
    // by doubling would move all it holds at once, in one step.
    if (next == 0) {
        targets.transactions.reserve(transactions.size());
        targets.adjustments.reserve(adjustments.size());
    }
    for (; next < end && next < transactions.size(); ++next) {
        const Transaction& t = transactions[next];
        ImportMatchTargets::Target& target = targets.transactions.emplace_back();
        target.id = t.id;
        target.amount = t.amount;
        target.startDate = t.start_date;
        target.description = t.description;
        if (t.is_recurring && !t.recurring_period.empty()) {
            target.series = int32_t(targets.series.size());
            targets.series.push_back(t);
            targets.seriesIds.push_back(t.id);
        }
    }
    if (next == transactions.size() && next < end)
        std::sort(targets.seriesIds.begin(), targets.seriesIds.end());
    for (; next < end; ++next) {
        const TransactionAdjustment& a = adjustments[next - transactions.size()];
        if (std::binary_search(targets.seriesIds.begin(), targets.seriesIds.end(), a.transaction_id))
            targets.adjustments.push_back(a);
    }
    return next >= total;
}

void markImportDuplicates(std::vector<ImportRow>& rows, const Budget& budget)
{
    ImportMatchTargets targets;
    size_t next = 0;
    copyImportMatchTargets(targets, budget, next, SIZE_MAX);
    markImportDuplicates(rows, targets);
}

// Every row meets every transaction, but almost all pairs are settled without
// the similarity: the amount test, bounds on the similarity from the lengths
// and from the bytes the two share, and the date distance of a one-off
// transaction each reject a pair exactly as the full comparison would. A
// pair whose similarity cannot exceed the best score so far, or reach the
// lowest score that marks a row, is skipped as well: scores never exceed the
// similarity. Occurrences are expanded only for pairs that pass everything.
void markImportDuplicates(
    std::vector<ImportRow>& rows, const ImportMatchTargets& targets, const std::atomic<bool>* cancelled)
{
    const std::vector<ImportMatchTargets::Target>& transactions = targets.transactions;

    // Each series' adjustments, kept in budget order, without scanning the
    // whole list for every expansion.
    std::vector<TransactionAdjustment> adjustments = targets.adjustments;
    std::stable_sort(
        adjustments.begin(), adjustments.end(), [](const TransactionAdjustment& x, const TransactionAdjustment& y) {
            return x.transaction_id < y.transaction_id;
        });

    std::vector<PreparedTransaction> prepared(transactions.size());
    for (size_t k = 0; k < transactions.size(); ++k) {
        const ImportMatchTargets::Target& t = transactions[k];
        PreparedTransaction& p = prepared[k];
        p.upper = asciiUpper(t.description);
        std::array<uint32_t, 256> counts{};
        for (char ch : p.upper)
            ++counts[static_cast<unsigned char>(ch)];
        for (size_t c = 0; c < 256; ++c)
            if (counts[c])
                p.byteCounts.emplace_back(uint8_t(c), counts[c]);
        p.expands = t.series >= 0;
        if (p.expands) {
            auto range = std::equal_range(adjustments.begin(), adjustments.end(), t.id, ByTransaction{});
            p.adjustments = {
                adjustments.data() + (range.first - adjustments.begin()), size_t(range.second - range.first)};
        } else {
            p.startDay = dayNumberOf(t.startDate);
        }
    }

    // A one-off can only match a row within a week of its date, so each row
    // meets the one-offs of its fortnight (found by day) and every series;
    // they are met in budget order, as a walk over all of them would, so
    // that an equal score keeps the earlier transaction.
    std::vector<std::pair<int64_t, uint32_t>> oneOffsByDay;
    std::vector<uint32_t> seriesOrder;
    for (size_t k = 0; k < transactions.size(); ++k) {
        if (prepared[k].expands)
            seriesOrder.push_back(uint32_t(k));
        else if (prepared[k].startDay)
            oneOffsByDay.emplace_back(*prepared[k].startDay, uint32_t(k));
    }
    std::sort(oneOffsByDay.begin(), oneOffsByDay.end());
    std::vector<uint32_t> nearby;

    BlockMatcher matcher;
    for (ImportRow& row : rows) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return;
        const std::string upper = asciiUpper(row.description);
        std::array<uint32_t, 256> rowCounts{};
        for (char ch : upper)
            ++rowCounts[static_cast<unsigned char>(ch)];
        const std::optional<int64_t> rowDay = dayNumberOf(row.date);
        if (!rowDay)
            continue;  // no distance to any date can be measured

        double best = 0;
        const ImportMatchTargets::Target* match = nullptr;
        auto couldBeat = [&](double bound) { return bound >= kMatchScore && bound > best; };
        auto meet = [&](size_t k) {
            const ImportMatchTargets::Target& t = transactions[k];
            const PreparedTransaction& p = prepared[k];
            const double difference = std::fabs(row.amount - t.amount);
            if (amountTooFar(t.amount, difference))
                return;
            const size_t total = upper.size() + p.upper.size();
            if (!couldBeat(similarityRatio(std::min(upper.size(), p.upper.size()), total)))
                return;
            size_t common = 0;
            for (auto [c, n] : p.byteCounts)
                common += std::min(n, rowCounts[c]);
            if (!couldBeat(similarityRatio(common, total)))
                return;
            const double similarity = similarityRatio(matcher.matchingBytes(upper, p.upper), total);
            if (similarity < kMinSimilarity || !couldBeat(similarity))
                return;

            auto consider = [&](int64_t distance) {
                if (distance > kMaxDayDistance)
                    return;
                double score = candidateScore(distance, similarity, difference);
                if (score > best) {
                    best = score;
                    match = &t;
                }
            };
            if (!p.expands) {
                consider(std::abs(*p.startDay - *rowDay));
                return;
            }
            for (Date d : candidateDates(targets.series[size_t(t.series)], p.adjustments, row.date))
                if (std::optional<int64_t> n = dayNumberOf(d))
                    consider(std::abs(*n - *rowDay));
        };

        nearby.clear();
        auto from = std::lower_bound(
            oneOffsByDay.begin(), oneOffsByDay.end(), std::pair<int64_t, uint32_t>(*rowDay - kMaxDayDistance, 0));
        for (; from != oneOffsByDay.end() && from->first <= *rowDay + kMaxDayDistance; ++from)
            nearby.push_back(from->second);
        std::sort(nearby.begin(), nearby.end());
        size_t a = 0, b = 0;
        while (a < nearby.size() || b < seriesOrder.size()) {
            if (b == seriesOrder.size() || (a < nearby.size() && nearby[a] < seriesOrder[b]))
                meet(nearby[a++]);
            else
                meet(seriesOrder[b++]);
        }

        if (match && best >= kMatchScore) {
            ImportRowMore& m = more(row);
            m.matchedId = match->id;
            m.matchedDescription = match->description;
            if (best >= kDuplicateScore) {
                row.status = importDuplicate;
                row.selected = false;
            } else {
                row.status = importPossibleDuplicate;
            }
        }
    }
}

ImportCounts countImportRows(const std::vector<ImportRow>& rows)
{
    ImportCounts counts;
    std::unordered_set<int32_t> groups;
    for (const ImportRow& row : rows) {
        ++counts.total;
        if (row.status == importNew)
            ++counts.newCount;
        else if (row.status == importPossibleDuplicate)
            ++counts.possibleDuplicates;
        else if (row.status == importDuplicate)
            ++counts.duplicates;
        if (row.recurringGroup >= 0)
            groups.insert(row.recurringGroup);
    }
    counts.recurringGroups = int32_t(groups.size());
    return counts;
}

}  // namespace qm
