#include "model/ledger.h"

#include "ledger_fixtures.h"
#include "model/balances.h"
#include "model/builtins.h"
#include "model/projection.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qm::testing;

namespace {

Budget twoAccounts()
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B")};
    return b;
}

TEST(Ledger, TransferSeenFromEachScope)
{
    Budget b = twoAccounts();
    b.transactions = {oneOff(1, "2024-03-10", -50, "A", "B")};
    struct Case {
        int64_t scope;
        double amount, signedAmount, income, expense;
    } cases[] = {
        {1, -50, -50, 0, 50}, {2, 50, 50, 50, 0}, {0, -50, 0, 0, 0},
        {77, -50, 0, 0, 0},  // no such account: all accounts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scope);
        DayRow day = dayLedger(b, iso("2024-03-10"), c.scope, iso("2024-03-10"));
        ASSERT_EQ(day.entries.size(), 1u);
        const LedgerEntry& e = day.entries[0];
        EXPECT_EQ(e.amount, c.amount);
        EXPECT_EQ(e.baseAmount, c.amount);
        EXPECT_EQ(e.signedAmount, c.signedAmount);
        EXPECT_EQ(day.income, c.income);
        EXPECT_EQ(day.expense, c.expense);
        EXPECT_EQ(day.endBalance - day.startBalance, c.income - c.expense);
        EXPECT_TRUE(day.isReference);
    }
    EXPECT_EQ(accountLedger(b, iso("2024-03-01"), iso("2024-03-31"), 77, iso("2024-03-01")).accountId, 0);
}

TEST(Ledger, AnchorAppliesAtTheEndOfItsDay)
{
    Budget b = twoAccounts();
    b.transactions = {
        oneOff(1, "2024-05-02", 100, "A"), oneOff(2, "2024-05-02", -30, "A"), oneOff(3, "2024-05-03", 5, "A")};
    b.running_total_adjustments = {anchor(1, 1, "2024-05-02", 500), anchor(2, 1, "2024-05-04", 7),
        anchor(3, 1, "2024-05-04", 9), anchor(4, 0, "2024-05-03", 1e6)};
    Ledger l = accountLedger(b, iso("2024-05-01"), iso("2024-05-04"), 1, iso("2024-05-03"));
    ASSERT_EQ(l.days.size(), 4u);
    const DayRow& d2 = l.days[1];
    EXPECT_TRUE(d2.anchored);
    EXPECT_EQ(d2.income, 100);
    EXPECT_EQ(d2.expense, 30);
    EXPECT_EQ(d2.computedBalance, 70);
    EXPECT_EQ(d2.endBalance, 500);
    EXPECT_EQ(d2.balance, 500);
    EXPECT_EQ(l.days[2].startBalance, 500);
    EXPECT_EQ(l.days[2].endBalance, 505);
    EXPECT_FALSE(l.days[2].anchored);  // the all-accounts anchor is not A's
    EXPECT_EQ(l.totalIncome, 105);
    EXPECT_EQ(l.totalExpense, 30);
    EXPECT_EQ(l.net, 75);
    // Two anchors on one day: the later in the list holds, in the ledger and
    // in balanceAt alike.
    EXPECT_EQ(l.days[3].endBalance, 9);
    EXPECT_EQ(l.days[3].computedBalance, 505);
    EXPECT_EQ(balanceAt(b, iso("2024-05-04"), 1), 9);
}

TEST(Ledger, RoundsStoredFiguresButCarriesTheRunningBalance)
{
    Budget b = twoAccounts();
    b.transactions = {series(1, "2024-01-01", "nth_1_days", 0.004, "A")};
    Ledger l = accountLedger(b, iso("2024-01-01"), iso("2024-01-03"), 1, iso("2024-01-01"));
    ASSERT_EQ(l.days.size(), 3u);
    double ends[] = {0, 0.01, 0.01};
    double starts[] = {0, 0, 0.01};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(l.days[i].income, 0);
        EXPECT_EQ(l.days[i].endBalance, ends[i]);
        EXPECT_EQ(l.days[i].startBalance, starts[i]);
    }
    EXPECT_EQ(l.totalIncome, 0.01);  // 0.012, not the sum of the rounded days
    EXPECT_EQ(l.net, 0.01);
    EXPECT_EQ(accountLedger(b, iso("2024-01-03"), iso("2024-01-03"), 1, iso("2024-01-01")).openingBalance, 0.01);
}

TEST(Ledger, EmptyRangeKeepsTheOpeningBalance)
{
    Budget b = twoAccounts();
    b.transactions = {oneOff(1, "2024-01-05", 42.5, "A"), oneOff(2, "2024-01-12", -8, "A")};
    Ledger l = accountLedger(b, iso("2024-01-11"), iso("2024-01-10"), 1, iso("2024-01-11"));
    EXPECT_TRUE(l.days.empty());
    EXPECT_EQ(l.openingBalance, 42.5);
    EXPECT_EQ(l.totalIncome, 0);
    EXPECT_EQ(l.totalExpense, 0);
    BalanceSummary s = balanceSummary(b, iso("2024-01-11"), iso("2024-01-10"), 1, iso("2024-01-11"));
    EXPECT_EQ(s.opening, 42.5);
    EXPECT_EQ(s.closing, 42.5);
    EXPECT_EQ(s.lowest, 0);
    EXPECT_EQ(s.highest, 0);
    EXPECT_EQ(s.average, 0);
    EXPECT_FALSE(s.hasSpentShare);
    EXPECT_TRUE(balanceSeries(b, iso("2024-01-11"), iso("2024-01-10"), 1, iso("2024-01-11")).empty());
}

TEST(Ledger, BalanceSummaryFigures)
{
    Budget b = twoAccounts();
    b.transactions = {
        oneOff(1, "2024-06-01", 1000, "A"), oneOff(2, "2024-06-03", -100, "A"), oneOff(3, "2024-06-20", -200, "A")};
    BalanceSummary s = balanceSummary(b, iso("2024-06-01"), iso("2024-06-30"), 1, iso("2024-06-10"));
    EXPECT_EQ(s.opening, 0);
    EXPECT_EQ(s.closing, 700);
    EXPECT_EQ(s.lowest, 700);
    EXPECT_EQ(s.highest, 1000);
    EXPECT_EQ(s.average, 833.33);  // (1000 * 2 + 900 * 17 + 700 * 11) / 30 = 833.333...
    EXPECT_EQ(s.income, 1000);
    EXPECT_EQ(s.expense, 300);
    EXPECT_EQ(s.net, 700);
    EXPECT_EQ(s.incomeToDate, 1000);
    EXPECT_EQ(s.expenseToDate, 100);
    EXPECT_TRUE(s.hasSpentShare);
    EXPECT_EQ(s.spentShare, 0.3333);
    EXPECT_TRUE(s.hasCurrent);
    EXPECT_EQ(s.current, 900);

    // The reference date in another month, or after the range, gives no current balance.
    for (const char* ref : {"2024-07-01", "2024-05-31"})
        EXPECT_FALSE(balanceSummary(b, iso("2024-06-01"), iso("2024-06-30"), 1, iso(ref)).hasCurrent) << ref;
    EXPECT_FALSE(balanceSummary(b, iso("2024-06-01"), iso("2024-06-15"), 1, iso("2024-06-20")).hasCurrent);

    std::vector<BalancePoint> points = balanceSeries(b, iso("2024-06-02"), iso("2024-06-04"), 1, iso("2024-06-10"));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].date, iso("2024-06-02"));
    EXPECT_EQ(points[0].balance, 1000);
    EXPECT_EQ(points[2].balance, 900);
}

TEST(Ledger, SpentShareRoundsHalvesAwayFromZero)
{
    Budget b = twoAccounts();
    // 1 of 8 is 0.125, 1 of 32 is 0.03125 (a tie at four decimals), 2 of 3 is 0.66666...
    struct Case {
        double first, rest, share;
    } cases[] = {{-1, -7, 0.125}, {-1, -31, 0.0313}, {-2, -1, 0.6667}, {-0.01, -199.99, 0.0001}};
    for (const Case& c : cases) {
        b.transactions = {oneOff(1, "2024-06-01", c.first, "A"), oneOff(2, "2024-06-20", c.rest, "A")};
        BalanceSummary s = balanceSummary(b, iso("2024-06-01"), iso("2024-06-30"), 1, iso("2024-06-01"));
        EXPECT_EQ(s.spentShare, c.share) << c.first << " " << c.rest;
    }
}

TEST(MonthGrid, StartsOnSundayWithFiveOrSixWeeks)
{
    struct Case {
        int year, month;
        const char* start;
        int weeks;
    } cases[] = {
        {2026, 2, "2026-02-01", 5},  // 28 days from a Sunday: never 4 weeks
        {2026, 8, "2026-07-26", 6},  // 6 + 31 = 37
        {2026, 5, "2026-04-26", 6},  // Friday start: 5 + 31 = 36
        {2025, 3, "2025-02-23", 6},  // Saturday start, 31 days
        {2024, 2, "2024-01-28", 5},
        {2021, 1, "2020-12-27", 6},
    };
    for (const Case& c : cases) {
        MonthGrid g = monthGrid(c.year, c.month);
        EXPECT_EQ(formatIso(g.start), c.start) << c.year << "-" << c.month;
        EXPECT_EQ(g.weeks, c.weeks) << c.year << "-" << c.month;
    }
}

TEST(MonthGrid, MonthLedgerMarksTheMonthsDays)
{
    Budget b = twoAccounts();
    b.transactions = {series(1, "2026-01-01", "nth_1_days", -1, "A")};
    auto weeks = monthLedger(b, 2026, 8, 1, iso("2026-08-15"));
    ASSERT_EQ(weeks.size(), 6u);
    int inMonth = 0, reference = 0;
    for (const auto& week : weeks) {
        ASSERT_EQ(week.size(), 7u);
        EXPECT_EQ(weekday(week[0].date), 6);  // Sunday
        for (const DayRow& d : week) {
            EXPECT_EQ(d.inMonth, d.date.month == 8);
            inMonth += d.inMonth;
            reference += d.isReference;
            EXPECT_EQ(d.entries.size(), 1u);
        }
    }
    EXPECT_EQ(inMonth, 31);
    EXPECT_EQ(reference, 1);
    EXPECT_EQ(weeks[0][0].date, iso("2026-07-26"));
    EXPECT_FALSE(weeks[0][5].inMonth);
    EXPECT_TRUE(weeks[0][6].inMonth);
    EXPECT_EQ(weeks[5][6].date, iso("2026-09-05"));
}

TEST(Accounts, OrderedByPositionThenName)
{
    Budget b;
    b.accounts = {
        account(1, "Two", 2), account(2, "None", -1), account(3, "Zero", 0), account(4, "B", 1), account(5, "A", 1)};
    b.user.default_account_id = 4;
    b.transactions = {oneOff(1, "2024-03-01", 10.25, "B"), oneOff(2, "2024-03-20", 5, "B")};
    b.running_total_adjustments = {anchor(1, 3, "2024-01-01", 12)};
    std::vector<std::string> want = {"Zero", "A", "B", "Two", "None"};
    std::vector<Account> ordered = accountsInOrder(b);
    std::vector<AccountSummary> summaries = accountSummaries(b, iso("2024-03-10"));
    ASSERT_EQ(ordered.size(), want.size());
    ASSERT_EQ(summaries.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(ordered[i].name, want[i]);
        EXPECT_EQ(summaries[i].account.name, want[i]);
    }
    const AccountSummary& bSummary = summaries[2];
    EXPECT_EQ(bSummary.balance, 10.25);
    EXPECT_EQ(bSummary.monthEnd, 15.25);
    EXPECT_TRUE(bSummary.isDefault);
    EXPECT_TRUE(bSummary.noAnchor);
    EXPECT_FALSE(summaries[0].noAnchor);
    EXPECT_EQ(summaries[0].balance, 12);
    EXPECT_FALSE(summaries[0].isDefault);
}

TEST(Categories, ColourIndexFoldsCaseAndMatchesTheNameColour)
{
    Budget b;
    Category groceries{3, "Groceries", "", false, 0};
    Category mine{7, "Mine", "", true, 0};
    Category painted{8, "Painted", "#123456", false, 0};
    Category shadow{9, "PAINTED", "#abcdef", false, 0};
    b.categories = {groceries, mine, painted, shadow};
    CategoryIndex index = categoryIndex(b);
    EXPECT_EQ(index.size(), 3u);
    EXPECT_EQ(categoryColor(index, "groceries"), "#ad7b3d");
    EXPECT_EQ(categoryColor(index, "MINE"), categoryNameColor(b, "Mine"));
    EXPECT_EQ(categoryColor(index, "Mine"), defaultCategoryColor("Mine", 7));
    EXPECT_EQ(categoryColor(index, "painted"), "#abcdef");  // the later one wins
    EXPECT_EQ(categoryColor(index, "Unknown"), "");

    b.accounts = {account(1, "A")};
    b.transactions = {oneOff(1, "2024-01-01", -5, "A", "", "mine"), oneOff(2, "2024-01-01", -5, "A", "", "Nope")};
    const BudgetProjection p = projectBudget(b);
    DayRow d = dayLedger(p, iso("2024-01-01"), 0, iso("2024-01-01"));
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(projectedColor(p, *d.entries[0].transaction), categoryNameColor(b, "Mine"));  // hidden ones count too
    EXPECT_EQ(projectedColor(p, *d.entries[1].transaction), "");
    EXPECT_EQ(d.expense, 10);
}

TEST(Ledger, EntriesCarryTheOccurrence)
{
    Budget b = twoAccounts();
    b.transactions = {series(1, "2024-01-15", "nth_1_months", -20, "B", "A"), oneOff(2, "2024-02-15", 3, "A")};
    b.transaction_adjustments = {adjustment(9, 1, "2024-02-15", "2024-02-15", true, -25, true)};
    DayRow d = dayLedger(b, iso("2024-02-15"), 1, iso("2024-01-01"));
    ASSERT_EQ(d.entries.size(), 2u);
    const LedgerEntry& e = d.entries[0];  // list order within a day
    EXPECT_EQ(e.transaction->id, 1);
    EXPECT_EQ(e.adjustmentId, 9);
    EXPECT_TRUE(e.isPaid);
    EXPECT_EQ(e.amount, 25);  // A receives the transfer
    EXPECT_EQ(e.baseAmount, 20);
    EXPECT_EQ(e.signedAmount, 25);
    EXPECT_EQ(d.entries[1].transaction->id, 2);
    EXPECT_EQ(d.income, 28);
    EXPECT_EQ(d.startBalance, 20);
    EXPECT_FALSE(d.isReference);
}

}  // namespace
