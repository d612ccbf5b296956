#include "pages/import/import_detect.h"

#include "core/errors.h"
#include "model/occurrences.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace qm;

namespace {

ImportRow row(Date d, double amount, std::string description)
{
    ImportRow r;
    r.date = d;
    r.amount = amount;
    r.description = std::move(description);
    return r;
}

Transaction oneOff(int64_t id, Date start, double amount, std::string description)
{
    Transaction t;
    t.id = id;
    t.start_date = start;
    t.amount = amount;
    t.description = std::move(description);
    return t;
}

Transaction recurring(int64_t id, Date start, double amount, std::string description, std::string period)
{
    Transaction t = oneOff(id, start, amount, std::move(description));
    t.is_recurring = true;
    t.recurring_period = std::move(period);
    return t;
}

// The duplicate pass exactly as its rules read, every row against every
// transaction with nothing skipped: what the fast pass must agree with.
void markDuplicatesLiterally(std::vector<ImportRow>& rows, const Budget& budget)
{
    auto upper = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        return s;
    };
    for (ImportRow& r : rows) {
        double best = 0;
        const Transaction* match = nullptr;
        for (const Transaction& t : budget.transactions) {
            const double similarity = descriptionSimilarity(upper(r.description), upper(t.description));
            if (similarity < 0.4)
                continue;
            const double difference = std::fabs(r.amount - t.amount);
            if (std::fabs(t.amount) * 0.2 + 0.01 < difference)
                continue;
            std::vector<Date> candidates;
            if (t.is_recurring && !t.recurring_period.empty()) {
                try {
                    for (const Occurrence& o : occurrencesInRange(budget, t, subDays(r.date, 45), addDays(r.date, 45)))
                        candidates.push_back(o.date);
                } catch (const ValueError&) {
                    candidates.clear();
                }
            }
            if (candidates.empty())
                candidates.push_back(t.start_date);
            for (Date c : candidates) {
                int64_t d = 0;
                try {
                    d = std::abs(daysBetween(c, r.date));
                } catch (const ValueError&) {
                    continue;
                }
                if (d > 7)
                    continue;
                double score = (1 - 0.03 * double(d)) * similarity;
                if (difference > 0.01)
                    score *= 0.7;
                if (score > best) {
                    best = score;
                    match = &t;
                }
            }
        }
        if (match && best >= 0.45) {
            more(r).matchedId = match->id;
            more(r).matchedDescription = match->description;
            r.status = best >= 0.75 ? importDuplicate : importPossibleDuplicate;
            if (best >= 0.75)
                r.selected = false;
        }
    }
}

}  // namespace

TEST(ImportDetect, GroupKeysKeepTheLettersOfEachWord)
{
    struct {
        const char* text;
        const char* key;
    } cases[] = {
        {"Gym.Club 4421", "GYM CLUB"},
        {"GYM CLUB", "GYM CLUB"},
        {"AB12CD", "ABCD"},
        {"1234 #99", ""},
        {"", ""},
        {"  netflix.com  *  ", "NETFLIX COM"},
        {"Caf\xc3\xa9 Bar", "CAF BAR"},
        {"x-1-y", "X Y"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recurringGroupKey(c.text), c.key) << c.text;
}

TEST(ImportDetect, SeriesNeedCloseAmountsAndARegularKnownInterval)
{
    struct Case {
        const char* what;
        std::vector<int> gaps;  // days between consecutive rows
        std::vector<double> amounts;
        const char* period;  // nullptr: no series
        const char* label;
    };
    const Case cases[] = {
        {"30 days, amounts 100 and 90", {30}, {100, 90}, "nth_1_months", "Monthly"},
        {"amounts 100 and 80 spread too far", {30}, {100, 80}, nullptr, nullptr},
        {"amounts 100 and 85 are just close enough", {30}, {-100, -85}, "nth_1_months", "Monthly"},
        {"7, 7, 10: deviation 2 is within 2", {7, 7, 10}, {5, 5, 5, 5}, "nth_1_weeks", "Weekly"},
        {"7, 7, 11: deviation 2.67", {7, 7, 11}, {5, 5, 5, 5}, nullptr, nullptr},
        {"28, 31, 30, 35: mean 31, deviation 4", {28, 31, 30, 35}, {9, 9, 9, 9, 9}, "nth_1_months", "Monthly"},
        {"same day", {0}, {9, 9}, nullptr, nullptr},
        {"14 days", {14, 14}, {0, 0, 0}, "nth_2_weeks", "Every 2 weeks"},
        {"61 days", {61}, {1, 1}, "nth_2_months", "Every 2 months"},
        {"91 days", {91}, {1, 1}, "nth_3_months", "Quarterly"},
        {"182 days", {182}, {1, 1}, "nth_6_months", "Every 6 months"},
        {"365 days", {365}, {1, 1}, "nth_1_years", "Yearly"},
        {"10 days", {10}, {1, 1}, nullptr, nullptr},
        {"20 days", {20, 20}, {1, 1, 1}, nullptr, nullptr},
        {"45 days", {45}, {1, 1}, nullptr, nullptr},
        {"120 days", {120}, {1, 1}, nullptr, nullptr},
        {"not-a-number amounts are left out of the spread", {30}, {NAN, 50}, "nth_1_months", "Monthly"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ImportRow> rows;
        Date d = date(2024, 1, 3);
        for (size_t i = 0; i < c.amounts.size(); ++i) {
            rows.push_back(row(d, c.amounts[i], "Gym Club " + std::to_string(i)));
            if (i < c.gaps.size())
                d = addDays(d, c.gaps[i]);
        }
        detectRecurringPatterns(rows);
        for (const ImportRow& r : rows) {
            EXPECT_EQ(r.recurringGroup, c.period ? 0 : -1);
            EXPECT_EQ(r.isRecurring, c.period != nullptr);
            EXPECT_EQ(more(r).makeRecurring, c.period != nullptr);
            EXPECT_EQ(more(r).suggestedPeriod, c.period ? c.period : "");
            EXPECT_EQ(more(r).recurringPeriod, c.period ? c.period : "");
            EXPECT_EQ(more(r).suggestedLabel, c.label ? c.label : "");
        }
    }
}

TEST(ImportDetect, SeriesAreNumberedByTheirFirstRow)
{
    Date d = date(2024, 1, 1);
    std::vector<ImportRow> rows = {
        row(d, -9, "1234"),
        row(addDays(d, 1), -50, "Water Co"),
        row(addDays(d, 2), -15, "NETFLIX.COM"),
        row(addDays(d, 3), -5, "Corner shop"),
        row(addDays(d, 4), -5, "Corner shop #2"),
        row(addDays(d, 9), -9, "5678"),
        row(addDays(d, 32), -15.5, "Netflix com"),
        row(addDays(d, 92), -51, "WATER CO"),
    };
    detectRecurringPatterns(rows);
    std::vector<int32_t> groups;
    for (const ImportRow& r : rows)
        groups.push_back(r.recurringGroup);
    // Water Co comes first; the corner shop's 1-day interval and the rows
    // without letters make no series.
    EXPECT_EQ(groups, (std::vector<int32_t>{-1, 0, 1, -1, -1, -1, 1, 0}));
    EXPECT_EQ(more(rows[1]).suggestedLabel, "Quarterly");
    EXPECT_EQ(more(rows[2]).suggestedPeriod, "nth_1_months");

    ImportCounts counts = countImportRows(rows);
    EXPECT_EQ(counts.total, 8);
    EXPECT_EQ(counts.newCount, 8);
    EXPECT_EQ(counts.recurringGroups, 2);
    ImportCounts none = countImportRows({});
    EXPECT_EQ(none.total + none.newCount + none.possibleDuplicates + none.duplicates + none.recurringGroups, 0);
}

TEST(ImportDetect, WorkedDuplicateScores)
{
    const Date day = date(2024, 3, 10);
    auto budget = newBudget();
    budget->transactions = {oneOff(7, day, -20, "Netflix"), oneOff(8, date(2024, 5, 1), -20, "ABCD")};
    struct Case {
        const char* what;
        int offset;
        double amount;
        const char* description;
        const char* status;
    };
    const Case cases[] = {
        {"same description, amount and day: 1.0", 0, -20, "NETFLIX", "duplicate"},
        {"5 days apart: 0.85", 5, -20, "netflix", "duplicate"},
        {"amount 10 % off: 0.7", 0, -22, "Netflix", "possible_duplicate"},
        {"amount 10 % off, 3 days apart: 0.637", -3, -18, "Netflix", "possible_duplicate"},
        {"similarity 0.5: 0.5", 52, -20, "abxy", "possible_duplicate"},
        {"8 days apart", 8, -20, "Netflix", "new"},
        {"amount 25 % off", 0, -25.02, "Netflix", "new"},
        {"similarity below 0.4", 0, -20, "Spotify", "new"},
        {"similarity 0.5, 5 days and 10 % off: 0.2975", 57, -22, "ABXY", "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ImportRow> rows = {row(addDays(day, c.offset), c.amount, c.description)};
        markImportDuplicates(rows, *budget);
        EXPECT_EQ(importStatusText(rows[0].status), c.status);
        const bool matched = std::string(c.status) != "new";
        EXPECT_EQ(more(rows[0]).matchedId, matched ? (c.offset >= 50 ? 8 : 7) : 0);
        EXPECT_EQ(more(rows[0]).matchedDescription, matched ? (c.offset >= 50 ? "ABCD" : "Netflix") : "");
        EXPECT_EQ(rows[0].selected, std::string(c.status) != "duplicate");
    }
}

// Rows against one-offs and series, some of whose occurrences are moved.
struct SeriesFixture {
    BudgetPtr budget;
    std::vector<ImportRow> rows;
};

SeriesFixture seriesFixture()
{
    const Date day = date(2024, 6, 12);
    auto budget = newBudget();
    budget->transactions = {
        oneOff(1, addDays(day, 2), -30, "Gas station"),
        oneOff(2, addDays(day, -2), -30, "GAS STATION"),                       // the same score: the earlier one wins
        recurring(3, date(2023, 1, 2), -12, "Gym membership", "nth_1_weeks"),  // Mondays
        recurring(4, addDays(day, 1), -99, "Insurance", "nth_1_months"),
        recurring(5, addDays(day, -1), -40, "Phone bill", "nth_1_months"),
    };
    // Insurance's only occurrence near the row is moved far away, so its
    // start date, a day from the row, is compared instead.
    TransactionAdjustment moved;
    moved.id = 50;
    moved.transaction_id = 4;
    moved.original_date = addDays(day, 1);
    moved.new_date = addDays(day, 200);
    budget->transaction_adjustments = {moved};
    budget->transactions[3].has_end_date = true;
    budget->transactions[3].end_date = addDays(day, 20);
    // Phone bill's occurrence beside the row is moved 6 days off; its amount
    // change is not what the comparison uses.
    TransactionAdjustment phone;
    phone.id = 51;
    phone.transaction_id = 5;
    phone.original_date = addDays(day, -1);
    phone.new_date = addDays(day, 6);
    phone.has_amount = true;
    phone.amount = -400;
    budget->transaction_adjustments.push_back(phone);

    std::vector<ImportRow> rows = {
        row(day, -30, "Gas Station"),
        row(date(2024, 6, 13), -12, "GYM MEMBERSHIP"),  // a Thursday, 3 days from a Monday occurrence
        row(day, -99, "Insurance"),
        row(addDays(day, -1), -40, "Phone bil"),
    };
    return {budget, rows};
}

TEST(ImportDetect, DuplicatesMatchTheBestAndEarliestTransaction)
{
    auto [budget, rows] = seriesFixture();
    markImportDuplicates(rows, *budget);
    EXPECT_EQ(more(rows[0]).matchedId, 1);
    EXPECT_EQ(more(rows[0]).matchedDescription, "Gas station");
    EXPECT_EQ(more(rows[1]).matchedId, 3);
    EXPECT_EQ(importStatusText(rows[1].status), "duplicate");  // 0.91
    EXPECT_EQ(more(rows[2]).matchedId, 4);
    EXPECT_EQ(importStatusText(rows[2].status), "duplicate");  // 0.97 by the start date
    EXPECT_EQ(more(rows[3]).matchedId, 5);
    // Similarity 0.947, 7 days from the moved occurrence: 0.748, where the
    // start date would have given a duplicate.
    EXPECT_EQ(importStatusText(rows[3].status), "possible_duplicate");
}

// The budget copied for a matching thread a few records at a time, as the
// frames copy it, matches as the budget itself; a cancelled match marks
// nothing more.
TEST(ImportDetect, CopiesInStepsMatchAsTheBudget)
{
    auto [budget, expected] = seriesFixture();
    markImportDuplicates(expected, *budget);
    for (size_t step : {size_t(1), size_t(2), size_t(4), size_t(7)}) {
        SCOPED_TRACE(step);
        std::vector<ImportRow> rows = seriesFixture().rows;
        ImportMatchTargets targets;
        size_t next = 0, calls = 0;
        while (!copyImportMatchTargets(targets, *budget, next, step))
            ++calls;
        EXPECT_EQ(calls, (budget->transactions.size() + budget->transaction_adjustments.size() - 1) / step);
        EXPECT_EQ(targets.series.size(), 3u);
        EXPECT_EQ(targets.adjustments.size(), 2u);
        markImportDuplicates(rows, targets);
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].status, expected[i].status) << i;
            EXPECT_EQ(more(rows[i]).matchedId, more(expected[i]).matchedId) << i;
            EXPECT_EQ(more(rows[i]).matchedDescription, more(expected[i]).matchedDescription) << i;
        }
    }
    std::vector<ImportRow> rows = seriesFixture().rows;
    ImportMatchTargets targets;
    size_t next = 0;
    copyImportMatchTargets(targets, *budget, next, SIZE_MAX);
    const std::atomic<bool> cancelled{true};
    markImportDuplicates(rows, targets, &cancelled);
    for (const ImportRow& r : rows)
        EXPECT_EQ(r.status, importNew);
}

TEST(ImportDetect, SimilarityOfEmptyAndEqualTexts)
{
    EXPECT_EQ(descriptionSimilarity("", ""), 1.0);
    EXPECT_EQ(descriptionSimilarity("", "A"), 0.0);
    EXPECT_EQ(descriptionSimilarity("SAME", "SAME"), 1.0);
    // Blocks are counted on both sides of the longest one.
    EXPECT_EQ(descriptionSimilarity("XABCYDEZ", "QABCRDES"), 2.0 * 5 / 16);

    auto budget = newBudget();
    budget->transactions = {oneOff(3, date(2024, 1, 1), 0, "")};
    std::vector<ImportRow> rows = {row(date(2024, 1, 1), 0, "")};
    markImportDuplicates(rows, *budget);
    EXPECT_EQ(importStatusText(rows[0].status), "duplicate");
}

// A long text whose blocks nest thousands deep: two-byte words in one, the
// same words apart in the other. A matcher that recursed once per block
// would need far more stack than this thread has.
TEST(ImportDetect, ThousandsOfBlocksFitInASmallStack)
{
    constexpr size_t kWords = 2000;
    struct Job {
        std::string a, b;
        double result = -1;
    } job;
    for (size_t i = 0; i < kWords; ++i) {
        std::string word = {char(1 + i % 250), char(1 + (7 * i + i / 250) % 250)};
        job.a += word;
        job.b += word;
        if (i + 1 < kWords)
            job.b += '\xff';
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* p) -> void* {
                      auto* j = static_cast<Job*>(p);
                      j->result = descriptionSimilarity(j->a, j->b);
                      return nullptr;
                  },
                  &job),
        0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(job.result, 2.0 * double(2 * kWords) / double(job.a.size() + job.b.size()));
}

// Random statements against random budgets, with recurring transactions,
// adjustments and descriptions near every threshold: the fast pass and the
// literal one mark the same rows the same way.
TEST(ImportDetect, FastDuplicatePassAgreesWithTheLiteralOne)
{
    std::mt19937_64 rng(77);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    const char* words[] = {"AMAZON", "Amazon", "MKTP", "NETFLIX", "Netflix.com", "SHELL", "OIL", "GYM", "CLUB", "POS",
        "ACH", "PAYROLL", "#1234", "*", "Coffee", "shop", "CARD", "1234", "STARBUCKS", "caf\xc3\xa9", ""};
    const char* periods[] = {"nth_1_weeks", "nth_2_weeks", "nth_1_months", "dom_last_every", "nth_1_days",
        "specific_-1_friday_every", "", "bogus"};
    const double amounts[] = {-4.5, -12, -15.99, -20, -64.3, -100, 1500, 0};
    auto text = [&] {
        std::string s;
        for (size_t n = 1 + pick(4); n > 0; --n)
            s += std::string(words[pick(std::size(words))]) + (pick(3) ? " " : "");
        return s;
    };
    auto amount = [&] {
        const double factors[] = {1, 1, 1, 1.1, 0.9, 1.2, 1.21, 0.5, 1.0005};
        return amounts[pick(std::size(amounts))] * factors[pick(std::size(factors))];
    };
    const Date base = date(2024, 1, 1);
    size_t marked = 0, total = 0;
    for (int round = 0; round < 60; ++round) {
        auto budget = newBudget();
        const size_t nTx = 1 + pick(80);
        for (size_t k = 0; k < nTx; ++k) {
            Date start = addDays(base, int64_t(pick(400)) - 60);
            Transaction t = pick(3)
                ? oneOff(int64_t(pick(nTx)) + 1, start, amount(), text())
                : recurring(int64_t(k) + 1, start, amount(), text(), periods[pick(std::size(periods))]);
            if (t.is_recurring && pick(4) == 0) {
                t.has_end_date = true;
                t.end_date = addDays(start, int64_t(pick(200)));
            }
            t.pay_on_business_day = pick(4) == 0;
            t.pay_early = pick(2) == 0;
            if (pick(40) == 0)
                t.start_date = date(2000000000, 13, 40);  // beyond day arithmetic
            budget->transactions.push_back(t);
        }
        for (size_t k = pick(40); k > 0; --k) {
            // Mostly on real occurrences, so that moves and deletions count.
            const Transaction& t = budget->transactions[pick(nTx)];
            std::vector<Occurrence> dates;
            if (t.start_date.year < 9999)
                dates = occurrencesInRange(*budget, t, addDays(base, -60), addDays(base, 400));
            TransactionAdjustment a;
            a.id = int64_t(k);
            a.transaction_id = pick(5) ? t.id : int64_t(pick(nTx)) + 1;
            a.original_date =
                !dates.empty() && pick(5) ? dates[pick(dates.size())].date : addDays(base, int64_t(pick(400)) - 60);
            a.new_date = addDays(a.original_date, int64_t(pick(15)) - 7);
            a.is_deleted = pick(4) == 0;
            a.has_amount = pick(2) == 0;
            a.amount = amount();
            budget->transaction_adjustments.push_back(a);
        }
        std::vector<ImportRow> rows;
        for (size_t n = pick(60); n > 0; --n) {
            if (pick(3) == 0) {
                // A row copied from a transaction, somewhat changed.
                const Transaction& t = budget->transactions[pick(nTx)];
                Date d = t.start_date.year > 9999 ? base : addDays(t.start_date, int64_t(pick(60)) - 10);
                rows.push_back(row(d, t.amount * (pick(2) ? 1 : 1.1), pick(2) ? t.description : t.description + " X"));
            } else {
                rows.push_back(row(addDays(base, int64_t(pick(365))), amount(), text()));
            }
        }
        std::vector<ImportRow> fast = rows, literal = rows;
        markImportDuplicates(fast, *budget);
        markDuplicatesLiterally(literal, *budget);
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + " row " + std::to_string(i) + " " + rows[i].description);
            EXPECT_EQ(fast[i].status, literal[i].status);
            EXPECT_EQ(more(fast[i]).matchedId, more(literal[i]).matchedId);
            EXPECT_EQ(more(fast[i]).matchedDescription, more(literal[i]).matchedDescription);
            EXPECT_EQ(fast[i].selected, literal[i].selected);
            marked += literal[i].status != importNew;
            ++total;
        }
    }
    // The rounds must exercise both outcomes to mean anything.
    EXPECT_GT(marked, total / 20);
    EXPECT_LT(marked, total - total / 20);
}
