// The projection keeps what it has worked out between questions: these cases
// check that what it kept never shows once the budget changed, and that a
// warm projection answers exactly what a fresh one does, whatever the order
// of the questions.
#include "ledger_fixtures.h"
#include "model/adjustments.h"
#include "model/balances.h"
#include "model/projection.h"
#include "model/reports.h"
#include "model/store.h"
#include "model/transaction_edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

using namespace qm;
using namespace qm::testing;

TEST(Projection, StoreProjectionFollowsEveryChange)
{
    LocalStorePtr store = newLocalStore("");
    store->budget->accounts = {account(1, "A")};
    store->budget->transactions = {series(1, "2025-01-01", "nth_1_days", -10, "A")};
    store->budget->running_total_adjustments = {anchor(1, 1, "2025-01-01", 1000)};
    const Date day = iso("2025-01-11");

    const BudgetProjection* first = &storeProjection(*store);
    EXPECT_EQ(balanceAt(*first, day, 1), 900);
    EXPECT_EQ(&storeProjection(*store), first);  // nothing changed: kept

    // An edit moves the change count.
    ASSERT_TRUE(setOccurrenceAmount(*store, 1, iso("2025-01-05"), -110, true, 0));
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), 800);

    // A change made around the count still reaches the figures once a list
    // moved or grew.
    store->budget->transactions.push_back(oneOff(2, "2025-01-03", 50, "A"));
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), 850);
    Transaction more = oneOff(0, "2025-01-04", 25, "A");
    ASSERT_TRUE(addTransaction(*store, more).ok);
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), 875);
}

// Questions asked in a random order of one projection, which then starts its
// walks from checkpoints and anchors it met earlier, against a fresh
// projection for each: equal to the last bit, far before and after the
// anchors and across the first counted day.
TEST(Projection, WarmAnswersEqualFreshOnes)
{
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        Budget b;
        b.accounts = {account(1, "A"), account(2, "B")};
        const char* rules[] = {"nth_1_days", "nth_3_days", "nth_1_weeks", "dom_last_every", "nth_1_months"};
        const char* names[] = {"A", "B"};
        const int32_t base = dayNumber(iso("1999-09-01"));
        for (int i = 0; i < 12; ++i) {
            Transaction t = oneOff(i + 1, "2000-01-01", pick(-99999, 99999) / 100.0 + 1e-7, names[pick(0, 1)]);
            t.start_date = fromDayNumber(base + pick(0, 2000));
            if (pick(0, 4) == 0)
                t.transfer_to_account = names[pick(0, 1)];
            if (pick(0, 2) > 0) {
                t.is_recurring = true;
                t.recurring_period = rules[pick(0, 4)];
                t.pay_on_business_day = pick(0, 1) == 1;
            }
            b.transactions.push_back(t);
        }
        for (int i = 0; i < 30; ++i) {
            TransactionAdjustment a = adjustment(i + 1, pick(1, 12), "2000-01-01", "2000-01-01", pick(0, 1) == 1,
                pick(-9999, 9999) / 100.0 + 3e-9, false, pick(0, 5) == 0);
            a.original_date = fromDayNumber(base + pick(0, 2000));
            a.new_date = addDays(a.original_date, pick(-90, 90));
            b.transaction_adjustments.push_back(a);
        }
        for (int i = 0; i < 4; ++i) {
            RunningTotalAdjustment r = anchor(i + 1, pick(0, 2), "2000-01-01", pick(-50000, 50000) / 100.0);
            r.date = fromDayNumber(base + pick(0, 2500));
            b.running_total_adjustments.push_back(r);
        }

        const BudgetProjection warm = projectBudget(b);
        for (int q = 0; q < 60; ++q) {
            const int64_t accountId = pick(0, 2);
            // Mostly near the data, sometimes decades out.
            const Date day = fromDayNumber(base + (q % 10 == 0 ? pick(-3000, 40000) : pick(-200, 2600)));
            SCOPED_TRACE(formatIso(day) + " account " + std::to_string(accountId));
            ASSERT_EQ(balanceAt(warm, day, accountId), balanceAt(projectBudget(b), day, accountId));
        }
    }
}

// The nearest hits first, of two equally near the earlier, in the
// transactions' order within a day: whether the range is short enough to
// count days or so long that the hits are sorted by comparison.
TEST(Projection, SearchOrdersTheSameOverShortAndLongRanges)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {series(1, "2024-01-01", "nth_3_days", -5, "A"), series(2, "2024-01-02", "nth_2_days", 7, "A"),
        oneOff(3, "2024-02-10", 1, "A"), oneOff(4, "1950-05-05", 2, "A"), oneOff(5, "2300-01-01", 3, "A")};
    b.transactions[0].has_end_date = b.transactions[1].has_end_date = true;
    b.transactions[0].end_date = b.transactions[1].end_date = iso("2024-04-01");
    const Date reference = iso("2024-02-10");
    for (const char* from : {"2024-01-01", "1900-01-01"}) {
        SCOPED_TRACE(from);
        SearchFilter filter;
        filter.from = iso(from);
        filter.to = std::string(from) == "1900-01-01" ? iso("2400-01-01") : iso("2024-06-30");
        const std::vector<SearchHit> hits = searchOccurrences(b, filter, reference);
        ASSERT_GT(hits.size(), 40u);
        std::vector<SearchHit> want = hits;
        const int32_t r = dayNumber(reference);
        std::stable_sort(want.begin(), want.end(), [&](const SearchHit& x, const SearchHit& y) {
            const int32_t dx = dayNumber(x.date), dy = dayNumber(y.date);
            if (std::abs(dx - r) != std::abs(dy - r))
                return std::abs(dx - r) < std::abs(dy - r);
            if (dx != dy)
                return dx < dy;
            return x.transaction->id < y.transaction->id;
        });
        for (size_t i = 0; i < hits.size(); ++i) {
            EXPECT_TRUE(sameDate(hits[i].date, want[i].date)) << i;
            EXPECT_EQ(hits[i].transaction->id, want[i].transaction->id) << i;
        }
    }
}
