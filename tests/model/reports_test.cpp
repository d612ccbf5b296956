#include "model/reports.h"

#include "ledger_fixtures.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/occurrences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <tuple>

using namespace qm;
using namespace qm::testing;

namespace {

Budget searchBudget()
{
    Budget b;
    b.accounts = {account(1, "Checking"), account(2, "Savings")};
    b.categories = {Category{1, "Groceries", "", false, 0}};
    b.transactions = {
        oneOff(1, "2024-03-10", -80, "Checking", "", "Groceries"),
        oneOff(2, "2024-03-12", -12, "Checking", "", "Dining"),
        oneOff(3, "2024-03-08", -5, "Savings", "", "Other"),
        series(4, "2024-03-01", "nth_1_weeks", -100, "Checking", "Savings"),
        oneOff(5, "2024-03-10", 900, "Checking", "", ""),
    };
    b.transactions[0].description = "Weekly SHOP";
    b.transactions[1].description = "Lunch";
    b.transactions[2].description = "Groceries at the shop";
    b.transactions[3].description = "To savings";
    b.transactions[4].description = "Salary";
    b.transaction_adjustments = {adjustment(1, 4, "2024-03-08", "2024-03-08", true, -150, true)};
    return b;
}

std::vector<int64_t> ids(const SearchHits& hits)
{
    std::vector<int64_t> out;
    for (const SearchHit& h : hits)
        out.push_back(h.transaction->id);
    return out;
}

TEST(Search, TextScopeAndFilters)
{
    const Budget b = searchBudget();
    SearchFilter base;
    base.from = iso("2024-03-01");
    base.to = iso("2024-03-15");
    struct Case {
        const char* name;
        void (*set)(SearchFilter&);
        std::vector<int64_t> want;
    } cases[] = {
        {"no filter", [](SearchFilter&) {}, {1, 5, 3, 4, 2, 4, 4}},
        {"one letter", [](SearchFilter& f) { f.text = "  x \t"; }, {1, 5, 3, 4, 2, 4, 4}},
        {"capitals in any case", [](SearchFilter& f) { f.text = " SHOP "; }, {1, 3}},
        {"category text", [](SearchFilter& f) { f.text = "gRoCeRiEs"; }, {1, 3}},
        {"account names not searched", [](SearchFilter& f) { f.text = "checking"; }, {}},
        {"exact category", [](SearchFilter& f) { f.category = "Groceries"; }, {1}},
        {"category case matters", [](SearchFilter& f) { f.category = "groceries"; }, {}},
        {"account scope", [](SearchFilter& f) { f.accountId = 2; }, {3, 4, 4, 4}},
        {"unknown account is all", [](SearchFilter& f) { f.accountId = 99; }, {1, 5, 3, 4, 2, 4, 4}},
        {"min", [](SearchFilter& f) { f.hasMin = true, f.minAmount = -12; }, {5, 3, 2}},
        {"max", [](SearchFilter& f) { f.hasMax = true, f.maxAmount = -100; }, {4, 4, 4}},
        {"paid", [](SearchFilter& f) { f.paid = SearchFilter::Paid::paidOnly; }, {4}},
        {"unpaid", [](SearchFilter& f) { f.paid = SearchFilter::Paid::unpaidOnly; }, {1, 5, 3, 2, 4, 4}},
        {"changed", [](SearchFilter& f) { f.changed = SearchFilter::Changed::changedOnly; }, {4}},
        {"changed on the receiving side",
            [](SearchFilter& f) { f.changed = SearchFilter::Changed::changedOnly, f.accountId = 2; }, {4}},
        {"unchanged", [](SearchFilter& f) { f.changed = SearchFilter::Changed::unchangedOnly; }, {1, 5, 3, 2, 4, 4}},
        {"received transfers flip sign", [](SearchFilter& f) { f.accountId = 2, f.hasMin = true; }, {4, 4, 4}},
    };
    for (const Case& c : cases) {
        SearchFilter f = base;
        c.set(f);
        EXPECT_EQ(ids(searchOccurrences(b, f, iso("2024-03-10"))), c.want) << c.name;
    }
}

TEST(Search, NearestFirstThenEarlier)
{
    const Budget b = searchBudget();
    SearchFilter f;
    f.from = iso("2024-03-01");
    f.to = iso("2024-03-15");
    SearchHits hits = searchOccurrences(b, f, iso("2024-03-10"));
    std::vector<std::string> dates;
    for (const SearchHit& h : hits)
        dates.push_back(formatIso(h.date));
    // Two hits on the reference date keep list order; 8th before 12th.
    std::vector<std::string> want = {
        "2024-03-10", "2024-03-10", "2024-03-08", "2024-03-08", "2024-03-12", "2024-03-15", "2024-03-01"};
    EXPECT_EQ(dates, want);
    const SearchHit moved = hits[3];
    EXPECT_EQ(moved.adjustmentId(), 1);
    EXPECT_TRUE(moved.isPaid());
    EXPECT_EQ(moved.amount, -150);
    EXPECT_EQ(moved.baseAmount(), -100);
    EXPECT_EQ(hits[0].color(), "#ad7b3d");
    EXPECT_EQ(hits[1].color(), "");

    f.accountId = 2;
    hits = searchOccurrences(b, f, iso("2024-03-10"));
    ASSERT_EQ(hits.size(), 4u);
    EXPECT_EQ(hits[1].amount, 150);
    EXPECT_EQ(hits[1].baseAmount(), 100);
}

// Every hit gives what its occurrence shows (day, amount, the adjustment's
// id and paid mark, the category's colour), seen from the account searched,
// however the hits were ordered: days counted over a short range, sorted
// over a long one, and records that date something on no real day.
TEST(Search, HitsGiveWhatTheirOccurrencesShow)
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B")};
    b.categories = {Category{1, "Rent", "#123456", false, 0}, Category{2, "Food", "", false, 0}};
    b.transactions = {series(1, "2024-01-03", "nth_1_weeks", -20, "A"),
        series(2, "2024-01-31", "nth_1_months", -700, "A"), oneOff(3, "2024-02-14", 55.5, "A"),
        series(4, "2024-01-01", "nth_2_weeks", -100, "A", "B")};
    b.transactions[0].category = "food";
    b.transactions[1].category = "Rent";
    b.transactions[3].category = "Nothing known";
    for (Transaction& t : b.transactions) {
        t.has_end_date = true;
        t.end_date = iso("2024-06-30");
    }
    b.transaction_adjustments = {
        adjustment(7, 1, "2024-01-10", "2024-01-12", true, -25, true),
        adjustment(8, 1, "2024-01-17", "2024-01-17", false, 0, true),
        adjustment(9, 1, "2024-01-24", "2024-01-24", false, 0, false, true),
        adjustment(10, 2, "2024-02-29", "2024-03-02", true, -650),
        adjustment(11, 4, "2024-01-15", "2024-01-16", true, -80, true),
    };
    const CategoryIndex colors = categoryIndex(b);
    auto key = [](int64_t id, Date d, double amount, double base, int64_t adjustmentId, bool paid,
                   std::string_view color) {
        char line[160];
        std::snprintf(line, sizeof line, "%lld %s %g %g %lld %d %.*s", (long long)id, formatIso(d).c_str(), amount,
            base, (long long)adjustmentId, int(paid), int(color.size()), color.data());
        return std::string(line);
    };
    for (bool odd : {false, true}) {
        Budget searched = b;
        if (odd)
            searched.transactions[2].start_date = Date{2024, 2, 30};
        for (int64_t accountId : {0, 2})
            for (const char* from : {"2024-01-01", "1900-01-01"}) {
                SCOPED_TRACE(std::string(odd ? "odd " : "") + from + " account " + std::to_string(accountId));
                SearchFilter f;
                f.accountId = accountId;
                f.from = iso(from);
                f.to = iso(std::string(from) == "1900-01-01" ? "2400-01-01" : "2024-06-30");
                std::vector<std::string> want, got;
                const AccountScope scope = resolveScope(searched, accountId);
                for (const Transaction& t : searched.transactions) {
                    if (accountId != 0 && t.account != "B" && t.transfer_to_account != "B")
                        continue;
                    const double sign = scope.displaySign(t);
                    for (const Occurrence& o : occurrencesInRange(searched, t, f.from, f.to))
                        want.push_back(key(t.id, o.date, sign * o.amount, sign * t.amount, o.adjustment_id, o.is_paid,
                            categoryColor(colors, t.category)));
                }
                auto keyOf = [&](const SearchHit& h) {
                    return key(
                        h.transaction->id, h.date, h.amount, h.baseAmount(), h.adjustmentId(), h.isPaid(), h.color());
                };
                const SearchHits hits = searchOccurrences(searched, f, iso("2024-03-01"));
                for (const SearchHit& h : hits)
                    got.push_back(keyOf(h));
                // Made all at once, as a sort by a column makes them, they read the same.
                std::vector<std::string> whole;
                for (const SearchHit& h : hits.whole())
                    whole.push_back(keyOf(h));
                EXPECT_EQ(whole, got);
                std::sort(want.begin(), want.end());
                std::sort(got.begin(), got.end());
                EXPECT_EQ(got, want);
                EXPECT_GT(got.size(), 10u);
            }
    }
}

TEST(Search, CompactDatesReadBackAsMade)
{
    // Real days, days of no calendar, and fields past what the bits hold,
    // which are kept aside; each twice, as a kept one is found again.
    const Date cases[] = {Date{}, Date{2024, 3, 1}, Date{1, 1, 1}, Date{9999, 12, 31}, Date{2024, 2, 30},
        Date{2024, 13, 1}, Date{2024, 4, 0}, Date{-1, 1, 1}, Date{524287, 31, 63}, Date{-524288, 0, 0},
        Date{524288, 1, 1}, Date{-524289, 1, 1}, Date{2024, 32, 1}, Date{2024, 1, 64}, Date{2024, -1, 5},
        Date{2024, 5, -1}, Date{INT32_MIN, INT32_MAX, INT32_MIN}};
    for (int round = 0; round < 2; ++round)
        for (const Date& d : cases) {
            const Date back = CompactDate(d);
            EXPECT_EQ(std::tie(back.year, back.month, back.day), std::tie(d.year, d.month, d.day))
                << d.year << "-" << d.month << "-" << d.day;
        }
    const Date blank = SearchHit().date;
    EXPECT_EQ(std::tie(blank.year, blank.month, blank.day), std::make_tuple(0, 0, 0));
    EXPECT_EQ(SearchHit().color(), "");
}

std::vector<std::string> describe(const ReportRows& rows)
{
    std::vector<std::string> out;
    for (const ReportRow& r : rows) {
        const std::string_view description = rows.source(r).description();
        char line[160];
        std::snprintf(line, sizeof line, "%s %.*s %g %g", formatIso(r.date).c_str(), int(description.size()),
            description.data(), r.amount, r.runningBalance);
        out.push_back(line);
    }
    return out;
}

TEST(Report, EmptyRangeHasOnlyTheBalanceRows)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {oneOff(1, "2024-01-01", 10.004, "A")};
    ReportRows rows = reportRows(b, iso("2024-02-01"), iso("2024-02-29"), 1);
    EXPECT_EQ(describe(rows),
        (std::vector<std::string>{"2024-01-31 Starting Balance 0 10", "2024-02-29 Closing Balance 0 10"}));
    EXPECT_TRUE(rows.source(rows[0]).counted && rows.source(rows[0]).isBalanceRow);
    EXPECT_EQ(rows.source(rows[0]).rowOrder, 0);
    EXPECT_FALSE(rows.source(rows[1]).counted);
    EXPECT_EQ(rows.source(rows[1]).rowOrder, 2);
    EXPECT_TRUE(groupTotals(rows, false).empty());
}

TEST(Report, AnchorsFollowTheirDaysTransactions)
{
    Budget b;
    b.accounts = {account(1, "A"), account(2, "B")};
    b.transactions = {oneOff(1, "2024-01-05", 100, "A"), oneOff(2, "2024-01-10", -30, "A", "", "Food"),
        oneOff(3, "2024-01-10", 20, "A"), oneOff(4, "2024-01-12", -40, "B", "A"), oneOff(5, "2024-01-12", 1, "B")};
    b.transaction_adjustments = {adjustment(1, 3, "2024-01-10", "2024-01-10", true, 25)};
    b.running_total_adjustments = {anchor(1, 1, "2024-01-10", 500), anchor(2, 0, "2024-01-11", 7)};
    ReportRows rows = reportRows(b, iso("2024-01-06"), iso("2024-01-31"), 1);
    EXPECT_EQ(describe(rows),
        (std::vector<std::string>{
            "2024-01-05 Starting Balance 0 100",
            "2024-01-10 T2 -30 70",
            "2024-01-10 T3 25 95",
            "2024-01-10 Balance Adjustment 0 500",
            "2024-01-12 T4 40 540",  // A receives B's transfer
            "2024-01-31 Closing Balance 0 540",
        }));
    EXPECT_TRUE(rows.changed(rows[2]));
    EXPECT_EQ(rows.source(rows[2]).baseAmount, 20);
    EXPECT_FALSE(rows.changed(rows[1]));
    EXPECT_EQ(rows.source(rows[3]).anchorAmount, 500);
    EXPECT_FALSE(rows.source(rows[3]).counted);
    EXPECT_FALSE(rows.changed(rows[3]));
    EXPECT_EQ(rows.source(rows[4]).transferTo(), "A");
    EXPECT_EQ(rows.source(rows[4]).account(), "B");
    // The report closes where the ledger does.
    EXPECT_EQ(rows.back().runningBalance,
        balanceSummary(b, iso("2024-01-06"), iso("2024-01-31"), 1, iso("2024-01-06")).closing);

    // All accounts: no transfer rows, only the all-accounts anchor.
    rows = reportRows(b, iso("2024-01-06"), iso("2024-01-31"), 0);
    EXPECT_EQ(describe(rows),
        (std::vector<std::string>{
            "2024-01-05 Starting Balance 0 100",
            "2024-01-10 T2 -30 70",
            "2024-01-10 T3 25 95",
            "2024-01-11 Balance Adjustment 0 7",
            "2024-01-12 T5 1 8",
            "2024-01-31 Closing Balance 0 8",
        }));

    GroupTotals byCategory = groupTotals(rows, false);
    ASSERT_EQ(byCategory.size(), 2u);
    EXPECT_EQ(byCategory[0].first, "Food");
    EXPECT_EQ(byCategory[0].second.expense, 30);
    EXPECT_EQ(byCategory[0].second.count, 1);
    EXPECT_EQ(byCategory[1].first, "Uncategorized");
    EXPECT_EQ(byCategory[1].second.income, 26);
    EXPECT_EQ(byCategory[1].second.count, 2);
    GroupTotals byAccount = groupTotals(rows, true);
    ASSERT_EQ(byAccount.size(), 2u);
    EXPECT_EQ(byAccount[0].first, "A");
    EXPECT_EQ(byAccount[0].second.count, 2);
    EXPECT_EQ(byAccount[1].first, "B");
}

// Records made in code may date something on no real calendar day; a row,
// a search hit and a ledger entry show the date its record holds, in the
// order of the day it stands for.
TEST(Report, RowsShowTheDatesTheirRecordsHold)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {oneOff(1, "2024-01-05", 100, "A"), series(2, "2024-01-01", "nth_1_months", -10, "A")};
    b.transactions[0].start_date = Date{2024, 2, 30};
    b.transaction_adjustments = {adjustment(1, 2, "2024-02-01", "2024-02-01", true, -15)};
    b.transaction_adjustments[0].new_date = Date{2024, 4, 31};
    b.running_total_adjustments = {anchor(1, 1, "2024-03-20", 50)};
    b.running_total_adjustments[0].date = Date{2024, 3, 32};
    const ReportRows rows = reportRows(b, iso("2024-01-01"), iso("2024-05-31"), 1);
    EXPECT_EQ(describe(rows),
        (std::vector<std::string>{
            "2023-12-31 Starting Balance 0 0",
            "2024-01-01 T2 -10 -10",
            "2024-02-30 T1 100 90",
            "2024-03-01 T2 -10 80",
            "2024-04-01 T2 -10 70",
            "2024-03-32 Balance Adjustment 0 50",
            "2024-04-31 T2 -15 35",
            "2024-05-01 T2 -10 25",
            "2024-05-31 Closing Balance 0 25",
        }));
    SearchFilter filter;
    filter.from = iso("2024-01-01");
    filter.to = iso("2024-05-31");
    std::vector<std::string> hitDates;
    for (const SearchHit& hit : searchOccurrences(b, filter, iso("2024-01-01")))
        hitDates.push_back(formatIso(hit.date) + (hit.adjustmentId() ? " moved" : ""));
    EXPECT_EQ(hitDates,
        (std::vector<std::string>{
            "2024-01-01", "2024-02-30", "2024-03-01", "2024-04-01", "2024-04-31 moved", "2024-05-01"}));
    std::vector<std::string> entryDates;
    for (const DayRow& day : accountLedger(b, iso("2024-01-01"), iso("2024-05-31"), 1, iso("2024-01-01")).days)
        for (const LedgerEntry& e : day.entries)
            entryDates.push_back(formatIso(e.date) + (e.adjustmentId ? " moved" : ""));
    EXPECT_EQ(entryDates, hitDates);
}

TEST(Report, GroupTotalsCountZeroAmounts)
{
    ReportRows rows;
    const ReportRowTexts x{"", "X", "", ""}, y{"", "Y", "", ""};
    rows.sources.resize(3);
    rows.sources[0].counted = true;
    rows.sources[0].texts = &x;
    rows.sources[1].counted = true;
    rows.sources[1].texts = &x;
    rows.sources[2].counted = false;  // not counted, never grouped
    rows.sources[2].texts = &y;
    rows.rows.resize(3);
    rows.rows[0].source = 0;
    rows.rows[1].source = 1;
    rows.rows[1].amount = -2.5;
    rows.rows[2].source = 2;
    rows.rows[2].amount = 9;
    GroupTotals g = groupTotals(rows, false);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].second.count, 2);
    EXPECT_EQ(g[0].second.income, 0);
    EXPECT_EQ(g[0].second.expense, 2.5);
}

TEST(Report, RecurringRowsCountWhatIsLeft)
{
    Budget b;
    b.accounts = {account(1, "A")};
    b.transactions = {series(1, "2024-01-15", "nth_1_months", -9.99, "A"), oneOff(2, "2024-01-01", 5, "A"),
        series(3, "2024-01-01", "nth_1_weeks", 1, "A"), series(4, "2023-01-01", "nth_1_months", -3, "A")};
    b.transactions[0].has_end_date = true;
    b.transactions[0].end_date = iso("2024-12-31");
    b.transactions[3].has_end_date = true;
    b.transactions[3].end_date = iso("2023-06-30");
    // A removed occurrence is not left; a re-priced one counts at the plan's amount.
    b.transaction_adjustments = {adjustment(1, 1, "2024-07-15", "2024-07-15", false, 0, false, true),
        adjustment(2, 1, "2024-08-15", "2024-08-16", true, -500)};
    std::vector<RecurringRow> rows = recurringRows(b, iso("2024-06-01"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].transaction.id, 1);
    EXPECT_EQ(rows[0].remaining, 6);  // Jun, Aug (moved), Sep .. Dec; Jul removed
    EXPECT_EQ(rows[0].remainingTotal, -59.94);
    EXPECT_EQ(rows[1].transaction.id, 3);
    EXPECT_EQ(rows[1].remaining, std::nullopt);
    EXPECT_EQ(rows[1].remainingTotal, 0);
    EXPECT_EQ(rows[2].remaining, 0);
    EXPECT_EQ(rows[2].remainingTotal, 0);
}

TEST(Report, CategoriesByNameAreStable)
{
    Budget b;
    b.categories = {Category{1, "b", "", false, 0}, Category{2, "B", "", false, 0}, Category{3, "a", "", false, 0},
        Category{4, "B", "", true, 0}};
    std::vector<int64_t> got;
    for (const Category& c : categoriesByName(b))
        got.push_back(c.id);
    EXPECT_EQ(got, (std::vector<int64_t>{2, 4, 3, 1}));
}

}  // namespace
