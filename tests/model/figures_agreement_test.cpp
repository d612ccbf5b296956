// Cases where the calendar, the account list, the reports and balanceAt
// once showed different figures for one day; each now gives one number
// everywhere.
#include "ledger_fixtures.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/money.h"
#include "model/reports.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qm::testing;

namespace {

// The end-of-day balance of `day` as every view computes it.
struct Views {
    double balanceAt, ledger, monthGrid, batch, summary, report;
};

Views views(const Budget& b, int64_t accountId, Date day)
{
    Views v{};
    v.balanceAt = roundCents(balanceAt(b, day, accountId));
    v.ledger = accountLedger(b, subDays(day, 40), day, accountId, day).days.back().balance;
    for (const auto& week : monthLedger(b, day.year, day.month, accountId, day))
        for (const DayRow& row : week)
            if (sameDate(row.date, day))
                v.monthGrid = row.balance;
    std::vector<BalanceQuery> q{{accountId, day, 0}};
    balancesAt(b, q);
    v.batch = roundCents(q[0].balance);
    v.summary = balanceSummary(b, subDays(day, 40), day, accountId, day).closing;
    v.report = reportRows(b, subDays(day, 40), day, accountId).back().runningBalance;
    return v;
}

void expectAgree(const Budget& b, int64_t accountId, Date day, double want)
{
    SCOPED_TRACE(formatIso(day) + " account " + std::to_string(accountId));
    const Views v = views(b, accountId, day);
    EXPECT_EQ(v.balanceAt, want);
    EXPECT_EQ(v.ledger, want);
    EXPECT_EQ(v.monthGrid, want);
    EXPECT_EQ(v.batch, want);
    EXPECT_EQ(v.summary, want);
    EXPECT_EQ(v.report, want);
}

}  // namespace

TEST(FiguresAgree, NothingBeforeTheFirstCountedDayWithoutAnAnchor)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {oneOff(1, "1999-12-27", 10, "A"), oneOff(2, "2000-01-03", -2.5, "A")};
    expectAgree(b, 1, iso("1999-12-31"), 0);
    expectAgree(b, 1, iso("2000-01-01"), 0);
    expectAgree(b, 1, iso("2000-01-10"), -2.5);
    expectAgree(b, 0, iso("2000-01-10"), -2.5);
    EXPECT_EQ(monthEndBalances(b, 1, iso("2000-01-01")).monthEnd, -2.5);
    EXPECT_EQ(accountSummaries(b, iso("2000-01-01"))[0].monthEnd, -2.5);
    // An anchor before that day makes everything after it count.
    b.running_total_adjustments = {anchor(1, 1, "1999-12-20", 100)};
    expectAgree(b, 1, iso("1999-12-31"), 110);
    expectAgree(b, 1, iso("2000-01-10"), 107.5);
}

TEST(FiguresAgree, TheLastOfTwoAnchorsOnOneDayHolds)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {series(1, "2025-03-01", "nth_1_days", -1, "A")};
    b.running_total_adjustments = {anchor(1, 1, "2025-03-10", 100), anchor(2, 1, "2025-03-10", 200),
        anchor(3, 0, "2025-03-10", 5), anchor(4, 0, "2025-03-10", 50)};
    expectAgree(b, 1, iso("2025-03-10"), 200);
    expectAgree(b, 1, iso("2025-03-12"), 198);
    expectAgree(b, 0, iso("2025-03-10"), 50);
    expectAgree(b, 0, iso("2025-03-12"), 48);
    EXPECT_EQ(accountSummaries(b, iso("2025-03-10"))[0].balance, 200);
}

TEST(FiguresAgree, AnAccountWithAnEmptyNameIsOneAccount)
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "")};
    b.transactions = {
        oneOff(1, "2025-03-02", -10, "A"), oneOff(2, "2025-03-03", -5, ""), oneOff(3, "2025-03-04", -100, "", "A")};
    expectAgree(b, 2, iso("2025-03-05"), -105);  // its own expense and the transfer it pays
    expectAgree(b, 1, iso("2025-03-05"), 90);
    expectAgree(b, 0, iso("2025-03-05"), -15);
    const std::vector<AccountSummary> list = accountSummaries(b, iso("2025-03-05"));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].account.id, 2);  // "" sorts before "A"
    EXPECT_EQ(list[0].balance, -105);
    EXPECT_EQ(list[1].balance, 90);
    const ReportRows rows = reportRows(b, iso("2025-03-01"), iso("2025-03-05"), 2);
    ASSERT_EQ(rows.size(), 4u);  // starting row, two transactions, closing row
    EXPECT_EQ(rows[2].amount, -100);
    SearchFilter filter;
    filter.accountId = 2;
    filter.from = iso("2025-03-01");
    filter.to = iso("2025-03-31");
    EXPECT_EQ(searchOccurrences(b, filter, iso("2025-03-01")).size(), 2u);
}

TEST(FiguresAgree, SpentShareDividesThenRounds)
{
    struct Row {
        double spentToDate, spent, share;
    };
    const Row rows[] = {{0.03, 0.32, 0.0938}, {100, 300, 0.3333}, {1, 8, 0.125}, {2, 3, 0.6667}};
    for (const Row& r : rows) {
        Budget b;
        b.accounts = {account(1, "A")};
        b.transactions = {
            oneOff(1, "2025-03-02", -r.spentToDate, "A"), oneOff(2, "2025-03-20", -(r.spent - r.spentToDate), "A")};
        const BalanceSummary s = balanceSummary(b, iso("2025-03-01"), iso("2025-03-31"), 1, iso("2025-03-10"));
        ASSERT_TRUE(s.hasSpentShare);
        EXPECT_EQ(s.spentShare, r.share) << r.spentToDate << " of " << r.spent;
    }
}

// An end date before the start leaves the start's occurrence, however far
// before it lies: every view counts it from that day on, and only once.
TEST(FiguresAgree, ASeriesEndingBeforeItsStartKeepsTheStart)
{
    struct Case {
        const char* rule;
        const char* end;
    };
    const Case cases[] = {{"nth_1_weeks", "2023-12-16"}, {"nth_1_weeks", "2024-01-01"}, {"nth_1_weeks", "2023-12-18"},
        {"nth_1_days", "2021-05-01"}, {"nth_1_months", "2023-12-01"}, {"dom_2_every", "2023-06-30"},
        {"specific_1_tuesday_every", "2023-11-30"}, {"nth_1_years", "1999-01-01"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " ending " + c.end);
        Budget b;
        b.accounts = {account(1, "A")};
        b.transactions = {series(1, "2024-01-02", c.rule, 10, "A")};
        b.transactions[0].has_end_date = true;
        b.transactions[0].end_date = iso(c.end);
        for (int64_t scope : {0, 1}) {
            expectAgree(b, scope, iso("2024-01-01"), 0);
            expectAgree(b, scope, iso("2024-01-02"), 10);
            expectAgree(b, scope, iso("2024-02-23"), 10);
            EXPECT_EQ(roundCents(balanceAt(b, iso("2031-07-01"), scope)), 10);
        }
        const Ledger l = accountLedger(b, iso("2023-12-01"), iso("2024-03-31"), 1, iso("2024-01-02"));
        size_t entries = 0;
        for (const DayRow& day : l.days)
            entries += day.entries.size();
        EXPECT_EQ(entries, 1u);
        EXPECT_EQ(l.days[32].entries.size(), 1u);  // 2024-01-02
        // The report's recurring table counts that one occurrence as remaining.
        const std::vector<RecurringRow> rows = recurringRows(b, iso("2024-01-01"));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].remaining, 1);
        EXPECT_EQ(rows[0].remainingTotal, 10);
    }
}
