// Properties that tie the ledger, the balances and the report together,
// checked on many random budgets.
#include "ledger_fixtures.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/occurrences.h"
#include "model/projection.h"
#include "model/reports.h"
#include "random_edits.h"

#include <gtest/gtest.h>

#include <map>

using namespace qm;
using namespace qm::testing;

namespace {

void expectSameDay(const DayRow& a, const DayRow& b)
{
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.startBalance, b.startBalance);
    EXPECT_EQ(a.income, b.income);
    EXPECT_EQ(a.expense, b.expense);
    EXPECT_EQ(a.net, b.net);
    EXPECT_EQ(a.endBalance, b.endBalance);
    EXPECT_EQ(a.computedBalance, b.computedBalance);
    EXPECT_EQ(a.anchored, b.anchored);
    EXPECT_EQ(a.isReference, b.isReference);
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (size_t i = 0; i < a.entries.size(); ++i) {
        EXPECT_EQ(a.entries[i].transaction->id, b.entries[i].transaction->id);
        EXPECT_EQ(a.entries[i].signedAmount, b.entries[i].signedAmount);
        EXPECT_EQ(a.entries[i].adjustmentId, b.entries[i].adjustmentId);
    }
}

TEST(LedgerInvariants, RandomBudgets)
{
    const Date reference = iso("2024-07-04");
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE(seed);
        const Budget b = randomBudget(seed);
        const int64_t scopeId = int64_t(seed % 5);  // 0..3, and 4, which is no account
        const int64_t ownId = validAccountId(b, scopeId);
        std::map<int32_t, int> anchorsOn;
        for (const RunningTotalAdjustment& r : b.running_total_adjustments)
            if (r.account_id == ownId)
                anchorsOn[dayNumber(r.date)] += 1;

        const Date from = addDays(iso("2024-01-01"), seed * 7 % 300), to = addDays(from, 75);
        const Ledger l = accountLedger(b, from, to, scopeId, reference);
        ASSERT_EQ(l.days.size(), 76u);
        EXPECT_EQ(l.openingBalance, roundCents(balanceAt(b, subDays(from, 1), scopeId)));
        for (const DayRow& day : l.days) {
            if (anchorsOn[dayNumber(day.date)] <= 1) {
                EXPECT_EQ(day.endBalance, roundCents(balanceAt(b, day.date, scopeId))) << formatIso(day.date);
            }
        }

        const int32_t year = from.year, month = from.month;
        const BudgetProjection projection = projectBudget(b);
        for (const auto& week : monthLedger(b, year, month, scopeId, reference))
            for (const DayRow& day : week) {
                expectSameDay(day, dayLedger(b, day.date, scopeId, reference));
                expectSameDay(day, dayLedger(projection, day.date, scopeId, reference));
            }

        const BalanceSummary s = balanceSummary(b, from, to, scopeId, reference);
        EXPECT_EQ(s.closing, l.days.back().balance);
        EXPECT_EQ(s.income, l.totalIncome);
        EXPECT_LE(s.lowest, s.highest);
        const ReportRows rows = reportRows(b, from, to, scopeId);
        EXPECT_EQ(rows.back().runningBalance, s.closing);
        EXPECT_EQ(rows.front().runningBalance, s.opening);
    }
}

// The entries, day by day, are the occurrences of the scope's transactions
// taken one transaction after another in list order, each as the plain
// expansion gives it.
TEST(LedgerInvariants, EntriesAreTheOccurrencesInListOrder)
{
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE(seed);
        const Budget b = randomBudget(seed);
        const int64_t scopeId = int64_t(seed % 5);  // 4 is no account: all of them
        const std::string name = accountNameById(b, scopeId);
        const Date from = addDays(iso("2024-01-01"), seed * 11 % 300), to = addDays(from, 41);
        std::vector<std::vector<LedgerEntry>> want(42);
        for (const Transaction& t : b.transactions) {
            if (!name.empty() && !involvesAccount(t, name))
                continue;
            const double sign = amountForAccount(t, 1, name) < 0 ? -1 : 1;
            for (const Occurrence& o : occurrencesInRange(b, t, from, to)) {
                LedgerEntry e;
                e.transaction = &t;
                e.date = o.date;
                e.isPaid = o.is_paid;
                e.amount = sign * o.amount;
                e.baseAmount = sign * t.amount;
                e.signedAmount = amountForAccount(t, o.amount, name);
                e.adjustmentId = o.adjustment_id;
                want[size_t(dayNumber(o.date) - dayNumber(from))].push_back(e);
            }
        }
        const Ledger l = accountLedger(b, from, to, scopeId, from);
        ASSERT_EQ(l.days.size(), want.size());
        for (size_t d = 0; d < want.size(); ++d) {
            const std::vector<LedgerEntry>& got = l.days[d].entries;
            ASSERT_EQ(got.size(), want[d].size()) << formatIso(l.days[d].date);
            for (size_t k = 0; k < got.size(); ++k) {
                const LedgerEntry &g = got[k], &w = want[d][k];
                EXPECT_TRUE(g.transaction == w.transaction && g.date == w.date && g.isPaid == w.isPaid
                    && g.amount == w.amount && g.baseAmount == w.baseAmount && g.signedAmount == w.signedAmount
                    && g.adjustmentId == w.adjustmentId)
                    << formatIso(l.days[d].date) << " entry " << k << " of transaction " << w.transaction->id;
            }
        }
    }
}

TEST(LedgerInvariants, BatchedBalancesAgreeWithBalanceAt)
{
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        SCOPED_TRACE(seed);
        Budget b = randomBudget(seed);
        if (seed % 4 == 0)
            b.accounts.push_back(account(5, "A"));  // a second account of one name
        std::vector<BalanceQuery> queries;
        queries.push_back({1, iso("1999-12-31"), 0});
        for (int i = 0; i < 12; ++i)
            queries.push_back({int64_t((seed + i) % 6), addDays(iso("2023-11-01"), (seed * 37 + i * 61) % 700), 0});
        for (const RunningTotalAdjustment& r : b.running_total_adjustments)
            queries.push_back({r.account_id, r.date, 0});
        balancesAt(b, queries);
        for (const BalanceQuery& q : queries)
            EXPECT_EQ(q.balance, balanceAt(b, q.date, q.accountId)) << q.accountId << " " << formatIso(q.date);

        const Date day = addDays(iso("2024-01-01"), seed * 3 % 500);
        std::vector<AccountSummary> summaries = accountSummaries(b, day);
        ASSERT_EQ(summaries.size(), b.accounts.size());
        for (const AccountSummary& s : summaries) {
            MonthEndBalances want = monthEndBalances(b, s.account.id, day);
            EXPECT_EQ(s.balance, want.balance) << s.account.name;
            EXPECT_EQ(s.monthEnd, want.monthEnd) << s.account.name;
        }
    }
}

// A budget around `base` (which may lie before 2000, or decades ahead) with
// series running for years, adjustments and anchors placed on the series'
// own dates, anchors for all accounts and sometimes an account whose name
// is empty.
Budget wideBudget(uint32_t seed, Date base)
{
    std::mt19937 rng(seed * 7919u);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* rules[] = {"nth_1_days", "nth_5_days", "nth_1_weeks", "nth_1_months", "dom_last_every",
        "specific_1_monday_every", "nth_1_years", "dom_31_every"};
    Budget b;
    b.accounts = {account(1, "A", 0), account(2, "B", 1), account(3, seed % 3 == 0 ? "" : "C", 2)};
    const char* names[] = {"A", "B", b.accounts[2].name.c_str()};
    const int count = pick(3, 10);
    for (int i = 0; i < count; ++i) {
        Transaction t;
        t.id = i + 1;
        t.start_date = addDays(base, pick(-200, 900));
        t.amount = pick(-40000, 25000) / 100.0;
        t.account = names[pick(0, 2)];
        if (pick(0, 4) == 0)
            t.transfer_to_account = names[pick(0, 2)];
        t.description = "W" + std::to_string(i);
        if (pick(0, 2) > 0) {
            t.is_recurring = true;
            t.recurring_period = rules[pick(0, 7)];
            t.pay_on_business_day = pick(0, 3) == 0;
            if (pick(0, 2) == 0) {
                t.has_end_date = true;
                t.end_date = addDays(t.start_date, pick(30, 1500));
            }
        }
        b.transactions.push_back(t);
    }
    // Dates the series really fall on, for adjustments and anchors.
    std::vector<std::pair<int64_t, Date>> dates;
    for (const Transaction& t : b.transactions)
        for (const Occurrence& o : expandOccurrences(t, {}, addDays(base, -200), addDays(base, 1500)))
            dates.emplace_back(t.id, o.date);
    for (int i = 0, n = dates.empty() ? 0 : pick(0, 6); i < n; ++i) {
        const auto& [id, day] = dates[size_t(pick(0, int(dates.size()) - 1))];
        TransactionAdjustment a;
        a.id = 100 + i;
        a.transaction_id = id;
        a.original_date = day;
        a.new_date = addDays(day, pick(-2, 2));
        a.has_amount = pick(0, 1) == 1;
        a.amount = pick(-9000, 9000) / 100.0;
        a.is_deleted = pick(0, 4) == 0;
        b.transaction_adjustments.push_back(a);
    }
    for (int i = 0, n = pick(0, 6); i < n; ++i) {
        RunningTotalAdjustment r;
        r.id = 200 + i;
        r.account_id = pick(0, 3);
        if (i > 0 && pick(0, 3) == 0)
            r.date = b.running_total_adjustments.back().date;  // two on one day
        else if (!dates.empty() && pick(0, 1))
            r.date = dates[size_t(pick(0, int(dates.size()) - 1))].second;
        else
            r.date = addDays(base, pick(-100, 1200));
        r.amount = pick(-50000, 50000) / 100.0;
        b.running_total_adjustments.push_back(r);
    }
    return b;
}

}  // namespace

// Ranges that cross the first counted day, span several years or lie far
// ahead: on every day the ledger, the report, the batch and balanceAt give
// one figure, whatever anchors and adjustments fall on series dates.
TEST(LedgerInvariants, AgreesWithBalanceAtAcrossYears)
{
    struct Span {
        const char* base;
        const char* from;
        int days;
    };
    const Span spans[] = {
        {"1999-10-01", "1999-11-15", 120}, {"2000-06-01", "2000-02-01", 1200}, {"2041-03-01", "2041-01-01", 900}};
    for (uint32_t seed = 1; seed <= 45; ++seed) {
        const Span& span = spans[seed % 3];
        SCOPED_TRACE(std::to_string(seed) + " " + span.from);
        const Budget b = wideBudget(seed, iso(span.base));
        const Date from = iso(span.from), to = addDays(from, span.days - 1);
        const Date reference = addDays(from, int32_t(seed * 13 % span.days));
        for (int64_t scopeId : {0, 1, 2, 3}) {
            const Ledger l = accountLedger(b, from, to, scopeId, reference);
            ASSERT_EQ(l.days.size(), size_t(span.days));
            EXPECT_EQ(l.openingBalance, roundCents(balanceAt(b, subDays(from, 1), scopeId)));
            // The report's running balance at the end of each of its days.
            std::map<int32_t, double> reportEnd;
            const ReportRows rows = reportRows(b, from, to, scopeId);
            for (const ReportRow& r : rows)
                if (rows.source(r).description() != kClosingBalance)
                    reportEnd[dayNumber(r.date)] = r.runningBalance;
            std::vector<BalanceQuery> queries;
            double reportRunning = l.openingBalance;
            for (size_t i = 0; i < l.days.size(); ++i) {
                const DayRow& day = l.days[i];
                auto it = reportEnd.find(dayNumber(day.date));
                if (it != reportEnd.end())
                    reportRunning = it->second;
                EXPECT_EQ(reportRunning, day.balance) << "report " << formatIso(day.date) << " scope " << scopeId;
                if (i % 17 == 0 || day.anchored || i + 1 == l.days.size() || day.date.year == 2000)
                    queries.push_back({scopeId, day.date, 0});
            }
            std::vector<BalanceQuery> batch = queries;
            balancesAt(b, batch);
            for (size_t k = 0; k < queries.size(); ++k) {
                const Date day = queries[k].date;
                const double want = roundCents(balanceAt(b, day, scopeId));
                EXPECT_EQ(l.days[size_t(dayNumber(day) - dayNumber(from))].balance, want)
                    << formatIso(day) << " scope " << scopeId;
                EXPECT_EQ(roundCents(batch[k].balance), want) << "batch " << formatIso(day) << " scope " << scopeId;
            }
        }
        for (const AccountSummary& s : accountSummaries(b, reference)) {
            const MonthEndBalances want = monthEndBalances(b, s.account.id, reference);
            EXPECT_EQ(s.balance, want.balance);
            EXPECT_EQ(s.monthEnd, want.monthEnd);
        }
    }
}

// The same ties on the store's projection as edits keep it up to date, and
// each figure equal to a fresh projection's.
TEST(LedgerInvariants, HoldAfterRandomEdits)
{
    const Date reference = iso("2024-07-04");
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        LocalStorePtr store = newLocalStore("");
        *store->budget = randomBudget(seed);
        const Budget& b = *store->budget;
        accountSummaries(storeProjection(*store), iso("2026-01-01"));
        for (int edit = 0; edit < 12; ++edit) {
            randomEdit(*store, rng, iso("2023-12-01"), 600);
            const BudgetProjection& warm = storeProjection(*store);
            const BudgetProjection fresh = projectBudget(b);
            const int64_t scopeId = int64_t((seed + edit) % 5);
            const Date from = addDays(iso("2024-01-01"), (seed * 7 + edit * 29) % 300), to = addDays(from, 75);
            const Ledger l = accountLedger(warm, from, to, scopeId, reference);
            const Ledger f = accountLedger(fresh, from, to, scopeId, reference);
            EXPECT_EQ(l.openingBalance, roundCents(balanceAt(warm, subDays(from, 1), scopeId)));
            std::vector<BalanceQuery> queries, freshQueries;
            for (size_t i = 0; i < l.days.size(); ++i) {
                expectSameDay(l.days[i], f.days[i]);
                EXPECT_EQ(l.days[i].endBalance, roundCents(balanceAt(warm, l.days[i].date, scopeId)));
                queries.push_back({int64_t(i % 5), l.days[i].date, 0});
            }
            freshQueries = queries;
            balancesAt(warm, queries);
            balancesAt(fresh, freshQueries);
            for (size_t i = 0; i < queries.size(); ++i)
                EXPECT_EQ(queries[i].balance, freshQueries[i].balance) << formatIso(queries[i].date);
            const BalanceSummary s = balanceSummary(warm, from, to, scopeId, reference);
            EXPECT_EQ(s.closing, l.days.back().balance);
            EXPECT_EQ(reportRows(warm, from, to, scopeId).back().runningBalance, s.closing);
            const std::vector<AccountSummary> summaries = accountSummaries(warm, to);
            const std::vector<AccountSummary> freshSummaries = accountSummaries(fresh, to);
            ASSERT_EQ(summaries.size(), freshSummaries.size());
            for (size_t i = 0; i < summaries.size(); ++i) {
                EXPECT_EQ(summaries[i].balance, freshSummaries[i].balance);
                EXPECT_EQ(summaries[i].monthEnd, freshSummaries[i].monthEnd);
                EXPECT_EQ(summaries[i].noAnchor, freshSummaries[i].noAnchor);
            }
        }
    }
}
