#include "pages/reports/report_model.h"

#include <gtest/gtest.h>

#include "app/app_harness.h"
#include "app/budget_io.h"
#include "model/export_fixtures.h"
#include "model/store.h"
#include "model/transaction_edits.h"

namespace qm {
namespace {

using testing::oneOff;

Transaction inAccount(Transaction t, std::string account, std::string category = "Food")
{
    t.account = std::move(account);
    t.category = std::move(category);
    return t;
}

LocalStorePtr storeOf(Budget b, int32_t changeCount = 0)
{
    LocalStorePtr store = newLocalStore("");
    *store->budget = std::move(b);
    store->change_count = changeCount;
    return store;
}

Budget checkingBudget()
{
    Budget b;
    Account checking;
    checking.id = 1;
    checking.name = "Checking";
    b.accounts.push_back(checking);
    return b;
}

double totalOf(const GroupTotals& totals, const std::string& name, bool income)
{
    for (const auto& [n, t] : totals)
        if (n == name)
            return income ? t.income : t.expense;
    return -1;
}

TEST(ReportModel, KeyTextJoinsRangeAccountAndChangeCount)
{
    EXPECT_EQ(reportKeyText(parseIso("2026-03-01"), parseIso("2026-03-31"), 0, 17), "2026-03-01|2026-03-31|0|17");
    ReportModel m;
    LocalStorePtr store = storeOf(Budget{}, 17);
    EXPECT_TRUE(
        refreshReportModel(m, *store, parseIso("2026-03-01"), parseIso("2026-03-31"), 4, parseIso("2026-03-02")));
    EXPECT_EQ(m.cacheKey, "2026-03-01|2026-03-31|4|17");
    EXPECT_FALSE(
        refreshReportModel(m, *store, parseIso("2026-03-01"), parseIso("2026-03-31"), 4, parseIso("2026-03-09")));
    EXPECT_EQ(m.computations, 1);
}

TEST(ReportModel, DaysAndMonthNetsFollowTheRange)
{
    Budget b = checkingBudget();
    b.transactions = {inAccount(oneOff(1, "2026-03-05", 100, "Before the range"), "Checking"),
        inAccount(oneOff(2, "2026-03-25", -30.1, "March out"), "Checking"),
        inAccount(oneOff(3, "2026-03-28", 50.2, "March in"), "Checking"),
        inAccount(oneOff(4, "2026-04-02", -20, "April out"), "Checking"),
        inAccount(oneOff(5, "2026-04-20", 1000, "After the range"), "Checking")};
    RunningTotalAdjustment anchor;
    anchor.id = 1;
    anchor.account_id = 1;
    anchor.date = parseIso("2026-03-26");
    anchor.amount = 500;
    b.running_total_adjustments.push_back(anchor);
    LocalStorePtr store = storeOf(std::move(b));

    struct Case {
        const char* from;
        const char* to;
        size_t days;
        double marchNet;  // of a day in March; April's days follow
        double aprilNet;
    };
    const Case cases[] = {
        {"2026-03-10", "2026-03-10", 1, 0, 0},
        {"2026-03-20", "2026-04-10", 22, 20.1, -20},
        {"2026-03-25", "2026-03-25", 1, -30.1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        ReportModel m;
        refreshReportModel(m, *store, parseIso(c.from), parseIso(c.to), 1, parseIso("2026-03-01"));
        ASSERT_EQ(m.dailyBalances.size(), c.days);
        ASSERT_EQ(m.monthlyDisposable.size(), c.days);
        for (size_t i = 0; i < c.days; ++i)
            EXPECT_DOUBLE_EQ(m.monthlyDisposable[i], m.dailyBalances[i].date.month == 3 ? c.marchNet : c.aprilNet);
    }

    // The starting line, the anchor's line and the closing line stay out of
    // the totals: only the three rows inside the range count.
    ReportModel m;
    refreshReportModel(m, *store, parseIso("2026-03-20"), parseIso("2026-04-10"), 1, parseIso("2026-03-01"));
    int balanceRows = 0;
    for (const ReportRow& r : m.rows)
        balanceRows += m.rows.source(r).isBalanceRow;
    EXPECT_EQ(balanceRows, 3);
    ASSERT_EQ(m.categoryTotals.size(), 1u);
    EXPECT_EQ(m.categoryTotals[0].second.count, 3);
    EXPECT_DOUBLE_EQ(totalOf(m.accountTotals, "Checking", true), 50.2);
    EXPECT_DOUBLE_EQ(totalOf(m.accountTotals, "Checking", false), 50.1);
}

TEST(ReportModel, NamelessGroupsAreUncategorizedAndRowsOutliveTheBudget)
{
    Budget b;
    b.transactions = {inAccount(oneOff(1, "2026-03-02", -5, "No names"), "", ""),
        inAccount(oneOff(2, "2026-03-03", 7, "Named"), "Cash", "Gifts")};
    LocalStorePtr store = storeOf(std::move(b));
    ReportModel m;
    refreshReportModel(m, *store, parseIso("2026-03-01"), parseIso("2026-03-31"), 0, parseIso("2026-03-01"));
    EXPECT_DOUBLE_EQ(totalOf(m.categoryTotals, "Uncategorized", false), 5);
    EXPECT_DOUBLE_EQ(totalOf(m.accountTotals, "Uncategorized", false), 5);
    EXPECT_DOUBLE_EQ(totalOf(m.accountTotals, "Cash", true), 7);

    // The model keeps its own texts when the budget's go away.
    ReportModel copy = m;
    store->budget->transactions.clear();
    store->budget->transactions.shrink_to_fit();
    ASSERT_EQ(copy.rows.size(), 4u);
    EXPECT_EQ(copy.rows.source(copy.rows[1]).description(), "No names");
    EXPECT_EQ(copy.rows.source(copy.rows[2]).category(), "Gifts");
    EXPECT_EQ(copy.rows.source(copy.rows[3]).description(), kClosingBalance);
}

TEST(ReportModel, MetricsInOrderWithCurrentOnlyWhenKnown)
{
    BalanceSummary s;
    s.opening = 1;
    s.closing = 3;
    s.current = 2;
    s.net = -4;
    std::vector<ReportFigure> eight = reportMetrics(s);
    ASSERT_EQ(eight.size(), 8u);
    EXPECT_EQ(eight[1].label, "Closing Balance");
    s.hasCurrent = true;
    std::vector<ReportFigure> nine = reportMetrics(s);
    ASSERT_EQ(nine.size(), 9u);
    for (size_t i = 0; i < nine.size(); ++i)
        EXPECT_EQ(nine[i].label, kReportLabels[i]);
    EXPECT_DOUBLE_EQ(nine[1].value, 2);
    EXPECT_DOUBLE_EQ(nine[8].value, -4);
}

// What the reports page does every frame: the figures are worked out once
// per change of range, account, budget or open store, never in between.
TEST(ReportModel, RecomputesOncePerChange)
{
    testing::AppHarness h;
    AppState& s = h.start();
    setReportMonth(s, 2026, 3);
    EXPECT_EQ(reportPage(s).to, parseIso("2026-03-31"));
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            refreshReportModel(s);
            h.frame();
        }
        return reportModel(s).computations;
    };
    EXPECT_EQ(frames(10), 1);
    EXPECT_TRUE(reportModel(s).rows.size() == 2);

    Transaction t = oneOff(0, "2026-03-04", -12, "Lunch");
    ASSERT_TRUE(addTransaction(*s.store, t).ok);
    EXPECT_EQ(frames(5), 2);
    EXPECT_EQ(reportModel(s).rows.size(), 3u);

    Account savings;
    savings.id = 9;
    savings.name = "Savings";
    s.store->budget->accounts.push_back(savings);
    s.store->budget->user.selected_account_id = 9;
    EXPECT_EQ(frames(5), 3);

    reportPage(s).to = parseIso("2026-03-30");
    EXPECT_EQ(frames(5), 4);

    // The same budget opened again is another store at the same count.
    const int32_t count = s.store->change_count;
    openBudget(s, "local");
    s.store->change_count = count;
    EXPECT_EQ(frames(5), 5);
}

TEST(ReportModel, DefaultRangeIsTheShownMonth)
{
    testing::AppHarness h;
    AppState& s = h.start();
    s.shownMonth = {2024, 2};
    applyDefaultReportRange(s);
    EXPECT_EQ(reportPage(s).from, parseIso("2024-02-01"));
    EXPECT_EQ(reportPage(s).to, parseIso("2024-02-29"));
    s.shownMonth = {2025, 7};
    applyDefaultReportRange(s);
    EXPECT_EQ(reportPage(s).from, parseIso("2024-02-01"));
}

}  // namespace
}  // namespace qm
