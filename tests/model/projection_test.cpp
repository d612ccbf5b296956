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
#include "model/store_lookup.h"
#include "model/transaction_edits.h"
#include "random_edits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>

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

namespace {

// Twelve transactions, thirty adjustments and four anchors around 2000,
// with amounts in fractions of a cent.
Budget spreadBudget(std::mt19937& rng)
{
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
    return b;
}

}  // namespace

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
        const Budget b = spreadBudget(rng);
        const int32_t base = dayNumber(iso("1999-09-01"));
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

// A walk starts at the latest anchor or kept chunk start before what is
// asked and works out only the days it reads, adding more days to a chunk
// when later asked for them. Questions in a random order (single days,
// ranges starting anywhere, growing day by day) must give what one walk
// over every day from before the data gives, to the last bit.
TEST(Projection, PartWalksEqualOneWholeWalk)
{
    const int64_t firstN = dayNumber(iso("1999-01-01")), lastN = dayNumber(iso("2007-12-31"));
    auto same = [](const ScopeDay& x, const ScopeDay& y) {
        return x.income == y.income && x.expense == y.expense && x.start == y.start && x.computed == y.computed
            && x.balance == y.balance && x.anchored == y.anchored && x.counted == y.counted;
    };
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
        const Budget b = spreadBudget(rng);
        std::vector<ScopeDay> whole[3];
        for (uint32_t scope = 0; scope < 3; ++scope)
            projectedDays(projectBudget(b), scope, firstN, lastN, whole[scope]);
        const BudgetProjection warm = projectBudget(b);
        std::vector<ScopeDay> days;
        for (int q = 0; q < 120; ++q) {
            const uint32_t scope = uint32_t(pick(0, 2));
            const int64_t from = pick(firstN, lastN);
            SCOPED_TRACE(formatIso(fromDayNumber(int32_t(from))) + " scope " + std::to_string(scope));
            switch (q % 3) {
            case 0:
                ASSERT_EQ(projectedBalance(warm, scope, from), whole[scope][size_t(from - firstN)].balance);
                break;
            case 1: {
                const int64_t to = std::min(lastN, from + pick(0, 200));
                projectedDays(warm, scope, from, to, days);
                ASSERT_EQ(days.size(), size_t(to - from + 1));
                for (size_t k = 0; k < days.size(); ++k)
                    ASSERT_TRUE(same(days[k], whole[scope][size_t(from - firstN) + k])) << k;
                break;
            }
            default:
                // Day after day, as a reader stepping through a month.
                for (int64_t n = from; n <= std::min(lastN, from + 40); ++n)
                    ASSERT_EQ(projectedBalance(warm, scope, n), whole[scope][size_t(n - firstN)].balance) << n;
            }
        }
    }
}

// The store's projection, kept up to date through random edits (each one
// noted, none making it anew), against a fresh projection of
// the budget after each: balances anywhere, a ledger's days and entries,
// the report's rows and the search's hits, to the last bit.
TEST(Projection, WarmAnswersEqualFreshOnesAfterEdits)
{
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        LocalStorePtr store = newLocalStore("");
        *store->budget = spreadBudget(rng);
        if (seed % 3 == 0)
            store->budget->accounts.push_back(account(3, "A"));  // a second account of one name
        const Budget& b = *store->budget;
        const Date base = iso("1999-09-01");
        auto someDay = [&] { return addDays(base, pick(0, 10) == 0 ? pick(-3000, 30000) : pick(-200, 2600)); };
        // Fill the caches far and wide first, so that stale ones would show.
        for (int64_t scope = 0; scope <= 3; ++scope)
            balanceAt(storeProjection(*store), iso("2040-01-01"), scope);
        int32_t madeAt = storeProjection(*store).madeAt;
        // Days a view keeps asking for, before and after every edit, so that
        // a ledger kept from before an edit would show.
        const Date watchFrom = addDays(base, 300), watchTo = addDays(base, 341);
        for (int edit = 0; edit < 40; ++edit) {
            SCOPED_TRACE(edit);
            const int64_t watched = edit % 4;
            accountLedger(storeProjection(*store), watchFrom, watchTo, watched, watchFrom);
            randomEdit(*store, rng, base, 2400);
            const BudgetProjection& warm = storeProjection(*store);
            EXPECT_EQ(warm.madeAt, madeAt) << "made anew";
            madeAt = warm.madeAt;
            const BudgetProjection fresh = projectBudget(b);
            {
                const Ledger w = accountLedger(warm, watchFrom, watchTo, watched, watchFrom),
                             f = accountLedger(fresh, watchFrom, watchTo, watched, watchFrom);
                ASSERT_EQ(w.days.size(), f.days.size());
                for (size_t i = 0; i < w.days.size(); ++i) {
                    EXPECT_EQ(w.days[i].endBalance, f.days[i].endBalance) << formatIso(w.days[i].date);
                    ASSERT_EQ(w.days[i].entries.size(), f.days[i].entries.size()) << formatIso(w.days[i].date);
                    for (size_t k = 0; k < w.days[i].entries.size(); ++k) {
                        EXPECT_EQ(w.days[i].entries[k].transaction, f.days[i].entries[k].transaction);
                        EXPECT_EQ(w.days[i].entries[k].amount, f.days[i].entries[k].amount);
                        EXPECT_TRUE(sameDate(w.days[i].entries[k].date, f.days[i].entries[k].date));
                    }
                }
            }
            // Every series, in list order, as readers of the list expect.
            ASSERT_EQ(warm.series.size(), fresh.series.size());
            for (size_t k = 0; k < warm.series.size(); ++k)
                ASSERT_EQ(warm.series[k].transaction, fresh.series[k].transaction) << k;
            for (int q = 0; q < 6; ++q) {
                const int64_t scope = pick(0, 3);
                const Date day = someDay();
                ASSERT_EQ(balanceAt(warm, day, scope), balanceAt(fresh, day, scope))
                    << formatIso(day) << " account " << scope;
            }
            const int64_t scope = pick(0, 3);
            const Date from = someDay(), to = addDays(from, pick(0, 90));
            const Ledger w = accountLedger(warm, from, to, scope, from),
                         f = accountLedger(fresh, from, to, scope, from);
            ASSERT_EQ(w.days.size(), f.days.size());
            for (size_t i = 0; i < w.days.size(); ++i) {
                EXPECT_EQ(w.days[i].endBalance, f.days[i].endBalance) << formatIso(w.days[i].date);
                EXPECT_EQ(w.days[i].income, f.days[i].income) << formatIso(w.days[i].date);
                ASSERT_EQ(w.days[i].entries.size(), f.days[i].entries.size()) << formatIso(w.days[i].date);
                for (size_t k = 0; k < w.days[i].entries.size(); ++k) {
                    EXPECT_EQ(w.days[i].entries[k].transaction, f.days[i].entries[k].transaction);
                    EXPECT_EQ(w.days[i].entries[k].signedAmount, f.days[i].entries[k].signedAmount);
                    EXPECT_EQ(projectedColor(warm, *w.days[i].entries[k].transaction),
                        projectedColor(fresh, *f.days[i].entries[k].transaction));
                }
            }
            const ReportRows wr = reportRows(warm, from, to, scope), fr = reportRows(fresh, from, to, scope);
            ASSERT_EQ(wr.size(), fr.size());
            for (size_t i = 0; i < wr.size(); ++i) {
                EXPECT_EQ(wr[i].runningBalance, fr[i].runningBalance) << i;
                EXPECT_EQ(wr[i].amount, fr[i].amount) << i;
            }
            SearchFilter filter;
            filter.accountId = scope;
            filter.from = from;
            filter.to = addDays(to, 400);
            // Category texts and colours go by slots of the projection, which
            // edits of transactions and categories must keep right.
            if (edit % 2 == 1)
                filter.category = "Cat" + std::to_string(edit % 6);
            const SearchHits wh = searchOccurrences(warm, filter, to), fh = searchOccurrences(fresh, filter, to);
            ASSERT_EQ(wh.size(), fh.size());
            for (size_t i = 0; i < wh.size(); ++i) {
                EXPECT_EQ(wh[i].transaction, fh[i].transaction) << i;
                EXPECT_EQ(wh[i].amount, fh[i].amount) << i;
                EXPECT_TRUE(sameDate(wh[i].date, fh[i].date)) << i;
                EXPECT_EQ(wh[i].color(), fh[i].color()) << i;
            }
        }
    }
}

// The walks take a transaction's signs in a scope from its shares rather
// than from its account names: the very signs the scopes give, for every
// transaction in every scope, including accounts that share a name,
// transfers within one account and to or from an account no scope has.
TEST(Projection, SignsFromSharesAreTheScopesOwn)
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B"), account(3, "A"), account(4, "")};
    const char* const sides[][2] = {{"A", ""}, {"B", ""}, {"Gone", ""}, {"", ""}, {"A", "B"}, {"B", "A"}, {"A", "A"},
        {"B", "B"}, {"A", "Gone"}, {"Gone", "A"}, {"Gone", "Lost"}, {"Gone", "Gone"}, {"", "B"}, {"B", ""}};
    int64_t id = 0;
    for (const auto& [from, to] : sides) {
        b.transactions.push_back(oneOff(++id, "2024-03-01", -12.5, from, to));
        b.transactions.push_back(series(++id, "2024-03-01", "nth_1_weeks", 7, from, to));
    }
    const BudgetProjection p = projectBudget(b);
    ASSERT_EQ(p.transactions.size(), b.transactions.size());
    for (size_t i = 0; i < b.transactions.size(); ++i) {
        const Transaction& t = b.transactions[i];
        for (uint32_t scope = 0; scope < p.scopes.size(); ++scope) {
            SCOPED_TRACE(t.account + " -> " + t.transfer_to_account + " in scope " + std::to_string(scope));
            const AccountScope& s = p.scopes[scope].scope;
            EXPECT_EQ(displaySignIn(p, p.transactions[i], scope), s.displaySign(t));
            EXPECT_EQ(balanceSignIn(p, p.transactions[i], scope), s.signedAmount(t, 1));
        }
    }
}

// A change that no note accounts for makes the projection anew.
TEST(Projection, UnnotedChangesMakeItAnew)
{
    LocalStorePtr store = newLocalStore("");
    store->budget->accounts = {account(1, "A")};
    store->budget->transactions = {series(1, "2025-01-01", "nth_1_days", -10, "A")};
    const Date day = iso("2025-01-11");
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), -110);
    const int32_t madeAt = storeProjection(*store).madeAt;

    // Counted but unnoted, as a sync's snapshot is.
    store->budget->transactions[0].amount = -20;
    markDirty(*store);
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), -220);
    EXPECT_NE(storeProjection(*store).madeAt, madeAt);

    // An unnoted change between two noted ones.
    ASSERT_TRUE(setOccurrenceAmount(*store, 1, iso("2025-01-05"), -120, true, 0));
    store->budget->transactions[0].amount = -30;
    markDirty(*store);
    ASSERT_TRUE(setOccurrencePaid(*store, 1, iso("2025-01-06"), true, 0));
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), -420);

    // A list grown around the count.
    store->budget->transactions.push_back(oneOff(2, "2025-01-02", 5, "A"));
    markDirty(*store);
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), -415);

    // A removal is noted: the records after it move up, and the figures
    // follow without making it anew.
    const int32_t before = storeProjection(*store).madeAt;
    ASSERT_TRUE(deleteTransaction(*store, 1));
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), 5);
    EXPECT_EQ(storeProjection(*store).madeAt, before);

    // More changes between two questions than an update is worth.
    for (int i = 0; i < 300; ++i) {
        Transaction t = oneOff(0, "2025-01-05", 1, "A");
        ASSERT_TRUE(addTransaction(*store, t).ok);
    }
    EXPECT_EQ(balanceAt(storeProjection(*store), day, 1), 305);
    EXPECT_NE(storeProjection(*store).madeAt, before);
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
        const SearchHits hits = searchOccurrences(b, filter, reference);
        ASSERT_GT(hits.size(), 40u);
        std::vector<SearchHit> want(hits.begin(), hits.end());
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

// The adjustment of an occurrence by a walk through the whole list.
static std::optional<size_t> walkOccurrence(const Budget& b, int64_t transactionId, Date original, bool last)
{
    std::optional<size_t> found;
    for (size_t i = 0; i < b.transaction_adjustments.size(); ++i) {
        const TransactionAdjustment& a = b.transaction_adjustments[i];
        if (a.transaction_id == transactionId && a.original_date == original) {
            found = i;
            if (!last)
                break;
        }
    }
    return found;
}

// The positions of a transaction's adjustments by a walk through the list.
static std::vector<size_t> walkAdjustmentsOf(const Budget& b, int64_t transactionId)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < b.transaction_adjustments.size(); ++i)
        if (b.transaction_adjustments[i].transaction_id == transactionId)
            found.push_back(i);
    return found;
}

// Every lookup answers as a walk through the lists would, whether the
// projection is up to date, behind by edits it was told of, or behind by a
// change it never heard of (records reordered, an id given twice), and
// with an occurrence that has two adjustments.
TEST(StoreLookup, AnswersAsAWalkThroughTheLists)
{
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        LocalStorePtr store = newLocalStore("");
        *store->budget = spreadBudget(rng);
        const Budget& b = *store->budget;
        const Date base = iso("1999-09-01");
        storeProjection(*store);
        for (int edit = 0; edit < 60; ++edit) {
            SCOPED_TRACE(edit);
            randomEdit(*store, rng, base, 2400);
            const int ask = pick(0, 9);
            if (ask < 5) {
                storeProjection(*store);  // up to date, or left behind by the edits since
            } else if (ask == 5 && b.transactions.size() > 2) {
                // A change the projection is not told of.
                std::swap(store->budget->transactions.front(), store->budget->transactions.back());
                markDirty(*store);
            } else if (ask == 6 && b.transactions.size() > 2) {
                store->budget->transactions.back().id = b.transactions.front().id;
                markDirty(*store);
            } else if (ask == 7 && !b.transaction_adjustments.empty()) {
                // A second adjustment of one occurrence: first and last differ,
                // and the second may show it on an earlier day.
                TransactionAdjustment twin =
                    b.transaction_adjustments[size_t(pick(0, int(b.transaction_adjustments.size()) - 1))];
                twin.new_date = addDays(twin.new_date, pick(-30, 30));
                addAdjustment(*store, twin);
                storeProjection(*store);
            }
            std::set<int64_t> ids;
            for (const Transaction& t : b.transactions)
                ids.insert(t.id);
            ids.insert(-999999);
            for (int64_t id : ids)
                ASSERT_EQ(findStoreTransaction(*store, id), findTransaction(b, id)) << id;
            for (const TransactionAdjustment& a : b.transaction_adjustments)
                ids.insert(a.transaction_id);  // those of no transaction too
            for (int64_t id : ids)
                ASSERT_EQ(findStoreAdjustmentsOf(*store, id), walkAdjustmentsOf(b, id)) << id;
            std::set<std::pair<int64_t, int32_t>> occurrences{{-999999, 0}};
            for (const TransactionAdjustment& a : b.transaction_adjustments) {
                ASSERT_EQ(findStoreAdjustment(*store, a.id), findAdjustment(b, a.id)) << a.id;
                occurrences.emplace(a.transaction_id, dayNumber(a.original_date));
                occurrences.emplace(a.transaction_id, dayNumber(a.original_date) + 1);
            }
            for (const auto& [id, day] : occurrences)
                for (bool last : {false, true})
                    ASSERT_EQ(findStoreOccurrence(*store, id, fromDayNumber(day), last),
                        walkOccurrence(b, id, fromDayNumber(day), last))
                        << id << " " << formatIso(fromDayNumber(day)) << " last " << last;
        }
    }
}

// Removals from lists long enough that most records lie far from any
// removed one, several between two questions (the first record, neighbours,
// the last, then a batch of demo records with their adjustments): the
// records after them move up, and the updated projection answers as a
// fresh one and finds every record where the lists now hold it.
TEST(Projection, RemovalsFromLongListsEqualAFreshOne)
{
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    LocalStorePtr store = newLocalStore("");
    Budget& b = *store->budget;
    b.accounts = {account(1, "A"), account(2, "B")};
    const char* rules[] = {"nth_1_days", "nth_1_weeks", "nth_1_months", "dom_last_every", "nth_1_years"};
    const Date base = iso("2024-01-01");
    for (int i = 0; i < 400; ++i) {
        Transaction t = oneOff(i + 1, "2024-01-01", pick(-50000, 30000) / 100.0 + 1e-7, i % 2 ? "A" : "B");
        t.start_date = addDays(base, pick(0, 700));
        if (i % 3 == 0) {
            t.is_recurring = true;
            t.recurring_period = rules[pick(0, 4)];
        }
        t.is_demo = i % 7 == 3;
        b.transactions.push_back(t);
    }
    for (int i = 0; i < 700; ++i) {
        const Transaction& t = b.transactions[size_t(pick(0, 399))];
        const Date original = t.is_recurring ? addDays(t.start_date, pick(0, 300)) : t.start_date;
        b.transaction_adjustments.push_back(adjustment(1000 + i, t.id, "2024-01-01", "2024-01-01", pick(0, 1) == 1,
            pick(-9999, 9999) / 100.0 + 3e-9, false, pick(0, 5) == 0));
        b.transaction_adjustments.back().original_date = original;
        b.transaction_adjustments.back().new_date = addDays(original, pick(-20, 20));
    }
    b.running_total_adjustments = {anchor(1, 1, "2024-06-01", 500), anchor(2, 0, "2025-01-01", -250)};
    for (int64_t scope = 0; scope <= 2; ++scope)
        balanceAt(storeProjection(*store), iso("2026-06-01"), scope);
    const int32_t madeAt = storeProjection(*store).madeAt;

    auto check = [&] {
        const BudgetProjection& warm = storeProjection(*store);
        EXPECT_EQ(warm.madeAt, madeAt) << "made anew";
        const BudgetProjection fresh = projectBudget(b);
        ASSERT_EQ(warm.series.size(), fresh.series.size());
        for (size_t k = 0; k < warm.series.size(); ++k)
            ASSERT_EQ(warm.series[k].transaction, fresh.series[k].transaction) << k;
        for (int64_t scope = 0; scope <= 2; ++scope)
            for (int d = -10; d < 800; d += 37)
                ASSERT_EQ(balanceAt(warm, addDays(base, d), scope), balanceAt(fresh, addDays(base, d), scope))
                    << d << " account " << scope;
        for (size_t i = 0; i < b.transactions.size(); ++i)
            ASSERT_EQ(findStoreTransaction(*store, b.transactions[i].id), i);
        for (size_t i = 0; i < b.transaction_adjustments.size(); ++i) {
            const TransactionAdjustment& a = b.transaction_adjustments[i];
            ASSERT_EQ(findStoreAdjustment(*store, a.id), i);
            ASSERT_EQ(findStoreOccurrence(*store, a.transaction_id, a.original_date, true),
                walkOccurrence(b, a.transaction_id, a.original_date, true));
        }
    };
    // Positions as the list stands at each removal.
    const std::vector<std::vector<size_t>> batches = {{0}, {63, 63, 63}, {200, 64, 5}, {1000}};
    for (const std::vector<size_t>& batch : batches) {
        SCOPED_TRACE(batch.front());
        for (size_t at : batch)
            ASSERT_TRUE(deleteTransaction(*store, b.transactions[std::min(at, b.transactions.size() - 1)].id));
        check();
    }
    removeDemoData(*store);
    ASSERT_FALSE(hasDemoData(*store));
    check();
}

// Edits of adjustments that stay with their transaction, over and over (the
// amount, then the day it shows on, which moves it within its group): the
// projection follows each as a fresh one would and keeps no room behind,
// so that it is never made anew to reclaim it.
TEST(Projection, RepeatedOccurrenceEditsLeaveNoRoomBehind)
{
    LocalStorePtr store = newLocalStore("");
    store->budget->accounts = {account(1, "A")};
    store->budget->transactions = {series(1, "2025-01-01", "nth_1_days", -10, "A")};
    const Date start = iso("2025-01-01");
    for (int d = 0; d < 60; ++d)
        ASSERT_TRUE(setOccurrenceAmount(*store, 1, addDays(start, d), -d - 0.25, true, 0));
    const BudgetProjection& p = storeProjection(*store);
    const size_t unused = p.unused;
    const int32_t madeAt = p.madeAt;
    const Date edited = addDays(start, 30);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        if (round % 2)
            ASSERT_TRUE(setOccurrenceDate(*store, 1, edited, addDays(edited, round % 7 - 3), 0));
        else
            ASSERT_TRUE(setOccurrenceAmount(*store, 1, edited, -round - 0.5, true, 0));
        const BudgetProjection& warm = storeProjection(*store);
        if (round % 20 < 2) {
            const BudgetProjection fresh = projectBudget(*store->budget);
            for (int d = 20; d < 45; ++d)
                ASSERT_EQ(balanceAt(warm, addDays(start, d), 1), balanceAt(fresh, addDays(start, d), 1)) << d;
        }
    }
    EXPECT_EQ(storeProjection(*store).unused, unused);
    EXPECT_EQ(storeProjection(*store).madeAt, madeAt);
}
