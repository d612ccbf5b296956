// Properties that tie the ledger, the balances and the report together,
// checked on many random budgets.
#include "ledger_fixtures.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/reports.h"

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
        EXPECT_EQ(a.entries[i].transaction.id, b.entries[i].transaction.id);
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
        for (const auto& week : monthLedger(b, year, month, scopeId, reference))
            for (const DayRow& day : week)
                expectSameDay(day, dayLedger(b, day.date, scopeId, reference));

        const BalanceSummary s = balanceSummary(b, from, to, scopeId, reference);
        EXPECT_EQ(s.closing, l.days.back().balance);
        EXPECT_EQ(s.income, l.totalIncome);
        EXPECT_LE(s.lowest, s.highest);
        const std::vector<ReportRow> rows = reportRows(b, from, to, scopeId);
        EXPECT_EQ(rows.back().runningBalance, s.closing);
        EXPECT_EQ(rows.front().runningBalance, s.opening);
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

}  // namespace
