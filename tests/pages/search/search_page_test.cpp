// The search page: the filter its form describes, when the search runs,
// the order and paging of its results, the filters that keep their choice
// while the lists change, and the way back to the calendar.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/budget_io.h"
#include "app/navigation.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "pages/search/search_page.h"

namespace qm {
namespace {

using testing::kPinnedToday;
using testing::PageHarness;

int64_t addPlan(PageHarness& h, const char* description, double amount, Date start, const char* rule = "",
    const char* category = "", Date end = {})
{
    Transaction t;
    t.description = description;
    t.amount = amount;
    t.start_date = start;
    t.account = "Checking";
    t.category = category;
    t.is_recurring = *rule != 0;
    t.recurring_period = rule;
    t.has_end_date = end.year != 0;
    t.end_date = end;
    EditResult r = addTransaction(h.store(), t);
    EXPECT_TRUE(r.ok) << r.error;
    return r.id;
}

void openSearch(PageHarness& h)
{
    switchPage(*h, pageSearch);
    h.frame();
}

TEST(SearchPage, CriteriaFromTheForm)
{
    PageHarness h;
    testing::SampleBudget ids = testing::addSampleBudget(*h);
    addCategory(h.store(), "Rent", "#336699", 0);
    SearchPageState& s = searchState(*h);
    h->shownMonth = {2025, 5};
    struct Case {
        const char* name;
        std::function<void(SearchPageState&)> set;
        std::function<void(const SearchFilter&)> check;
    };
    const Case cases[] = {
        {"no bounds: a year either side of today", [](SearchPageState&) {},
            [](const SearchFilter& f) {
                EXPECT_EQ(f.from, (Date{2024, 3, 12}));
                EXPECT_EQ(f.to, (Date{2026, 3, 12}));
                EXPECT_FALSE(f.hasMin || f.hasMax);
                EXPECT_EQ(f.accountId, 0);
                EXPECT_EQ(f.category, "");
            }},
        {"query trimmed", [](SearchPageState& s) { s.query = " \t rent  "; },
            [](const SearchFilter& f) { EXPECT_EQ(f.text, "rent"); }},
        {"bounds as set",
            [](SearchPageState& s) {
                s.fromSet = s.toSet = true;
                s.fromDate = {2025, 2, 1};
                s.toDate = {2025, 2, 28};
            },
            [](const SearchFilter& f) {
                EXPECT_EQ(f.from, (Date{2025, 2, 1}));
                EXPECT_EQ(f.to, (Date{2025, 2, 28}));
            }},
        {"amounts that parse",
            [](SearchPageState& s) {
                s.minText = "$1,200.50";
                s.maxText = "\u221275";
            },
            [](const SearchFilter& f) {
                EXPECT_TRUE(f.hasMin && f.hasMax);
                EXPECT_DOUBLE_EQ(f.minAmount, 1200.5);
                EXPECT_DOUBLE_EQ(f.maxAmount, -75);
            }},
        {"amounts that do not parse are left out",
            [](SearchPageState& s) {
                s.minText = "ten";
                s.maxText = "1e400";
            },
            [](const SearchFilter& f) { EXPECT_FALSE(f.hasMin || f.hasMax); }},
        {"kept category and account",
            [&](SearchPageState& s) {
                s.category = "Rent";
                s.accountId = ids.savings;
            },
            [&](const SearchFilter& f) {
                EXPECT_EQ(f.category, "Rent");
                EXPECT_EQ(f.accountId, ids.savings);
            }},
        {"a category or account that is gone filters nothing",
            [](SearchPageState& s) {
                s.category = "Nowhere";
                s.accountId = 987654;
            },
            [](const SearchFilter& f) {
                EXPECT_EQ(f.category, "");
                EXPECT_EQ(f.accountId, 0);
            }},
        {"paid and adjusted modes",
            [](SearchPageState& s) {
                s.paidMode = 2;
                s.adjustedMode = 1;
            },
            [](const SearchFilter& f) {
                EXPECT_EQ(f.paid, SearchFilter::Paid::unpaidOnly);
                EXPECT_EQ(f.changed, SearchFilter::Changed::changedOnly);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s = SearchPageState{};
        c.set(s);
        c.check(buildSearchCriteria(*h));
    }

    // From alone, set by its button, runs from the shown month's first day
    // to a year after today; To alone ends on the shown month's last day.
    openSearch(h);
    s = SearchPageState{};
    h.frame();
    h.clickWidget("sp-from-set");
    h.frames(2);
    SearchFilter f = buildSearchCriteria(*h);
    EXPECT_EQ(f.from, (Date{2025, 5, 1}));
    EXPECT_EQ(f.to, (Date{2026, 3, 12}));
    h.clickWidget("sp-from-clear");
    h.frames(2);
    h.clickWidget("sp-to-set");
    h.frames(2);
    f = buildSearchCriteria(*h);
    EXPECT_EQ(f.from, (Date{2024, 3, 12}));
    EXPECT_EQ(f.to, (Date{2025, 5, 31}));
}

TEST(SearchPage, RunsOnlyWhenItsInputsChange)
{
    PageHarness h;
    testing::SampleBudget ids = testing::addSampleBudget(*h);
    calendarState(*h).searchText = "  rent ";
    openSearch(h);
    SearchPageState& s = searchState(*h);
    EXPECT_EQ(s.runs, 1);
    EXPECT_EQ(s.query, "  rent ");     // as typed
    ASSERT_EQ(s.results.size(), 15u);  // the 1st of each month, March 2024 to March 2026 from January 2025
    h.frames(3);
    EXPECT_EQ(s.runs, 1);

    // Back from the calendar with the same text: nothing new to search.
    switchPage(*h, pageCalendar);
    h.frame();
    s.query = "rent";
    openSearch(h);
    EXPECT_EQ(s.runs, 1);

    // An edit anywhere shows in the results at the next frame.
    addPlan(h, "Rent deposit", -500, {2025, 3, 20});
    h.frame();
    EXPECT_EQ(s.runs, 2);
    EXPECT_EQ(s.results.size(), 16u);
    ASSERT_TRUE(deleteTransaction(h.store(), ids.rent));
    h.frame();
    EXPECT_EQ(s.runs, 3);
    EXPECT_EQ(s.results.size(), 1u);

    // A choice in the form runs it; so does a new toolbar text on arrival.
    s.paidMode = 1;
    h.frame();
    EXPECT_EQ(s.runs, 4);
    EXPECT_TRUE(s.results.empty());
    s.paidMode = 0;
    h.frame();
    calendarState(*h).searchText = "coffee";
    switchPage(*h, pageCalendar);
    h.frame();
    openSearch(h);
    EXPECT_EQ(s.query, "coffee");
    EXPECT_EQ(s.results.size(), 1u);

    // Opening a budget (another, or the same again) searches it afresh; an
    // account chosen in the budget that was open names nothing in it.
    s.accountId = ids.savings;
    h.frame();
    int64_t before = s.runs;
    openBudget(*h, "local");
    h.frame();
    EXPECT_EQ(s.runs, before + 1);
    EXPECT_EQ(s.ranBudget, h->store->budget.get());
    EXPECT_EQ(s.accountId, 0);

    // Clear empties the form and searches everything.
    s.sortColumn = searchByAmount;
    s.fromSet = true;
    s.category = "Food";
    h.frame();
    before = s.runs;
    h.clickWidget("sp-clear");
    h.frame();
    EXPECT_EQ(s.query, "");
    EXPECT_FALSE(s.fromSet);
    EXPECT_EQ(s.category, "");
    EXPECT_EQ(s.sortColumn, searchByDate);
    EXPECT_EQ(s.runs, before + 1);
    EXPECT_TRUE(s.searched);
    EXPECT_GT(s.results.size(), 300u);
}

template <typename Hits>
std::vector<Date> datesOf(const Hits& hits)
{
    std::vector<Date> out;
    for (const SearchHit& h : hits)
        out.push_back(h.date);
    return out;
}

TEST(SearchPage, DateColumnFlipsBetweenLatestAndNearestFirst)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    openSearch(h);
    SearchPageState& s = searchState(*h);
    std::vector<Date> store = datesOf(s.results);
    ASSERT_GT(store.size(), 50u);
    EXPECT_EQ(store.front(), kPinnedToday);
    h.clickWidget("sp-sort#0");
    h.frame();
    EXPECT_EQ(s.sortDirection, -1);
    std::vector<Date> latest = datesOf(shownResults(s));
    EXPECT_TRUE(std::is_sorted(latest.begin(), latest.end(), [](Date a, Date b) { return dateLess(b, a); }));
    h.clickWidget("sp-sort#0");
    h.frame();
    // Back to nearest first; only the shown rows are made.
    const size_t shown = std::min(store.size(), size_t(kSearchPageRows));
    EXPECT_EQ(datesOf(shownResults(s)), std::vector<Date>(store.begin(), store.begin() + ptrdiff_t(shown)));

    // Amount: lowest first, then highest first; another column starts ascending.
    h.clickWidget("sp-sort#4");
    h.frame();
    const std::vector<SearchHit>& up = shownResults(s);
    EXPECT_TRUE(std::is_sorted(up.begin(), up.end(), [](auto& a, auto& b) { return a.amount < b.amount; }));
    EXPECT_DOUBLE_EQ(up.front().amount, -1200);
    h.clickWidget("sp-sort#4");
    h.frame();
    double highest = std::max_element(s.results.begin(), s.results.end(), [](auto& a, auto& b) {
        return a.amount < b.amount;
    })->amount;
    EXPECT_DOUBLE_EQ(shownResults(s).front().amount, highest);
    h.clickWidget("sp-sort#1");
    h.frame();
    EXPECT_EQ(s.sortColumn, searchByDescription);
    EXPECT_EQ(s.sortDirection, 1);
    EXPECT_EQ(shownResults(s).front().transaction->description, "Coffee");
}

TEST(SearchPage, ShowsAHundredRowsAtATime)
{
    // Tall enough that every row is on screen.
    PageHarness h(1280, 10900);
    addPlan(h, "Walk", -1, {2025, 1, 1}, "nth_1_days", "", {2025, 9, 7});
    calendarState(*h).searchText = "walk";
    openSearch(h);
    SearchPageState& s = searchState(*h);
    ASSERT_EQ(s.results.size(), 250u);
    h.frame();
    struct Step {
        const char* button;  // empty: no button
        const char* lastRow;
        const char* firstHidden;
    };
    const Step steps[] = {
        {"Load more (150 more)", "sp-row#99", "sp-row#100"},
        {"Load more (50 more)", "sp-row#199", "sp-row#200"},
        {"", "sp-row#249", "sp-row#250"},
    };
    for (const Step& step : steps) {
        EXPECT_TRUE(h.widget(step.lastRow)) << step.lastRow;
        EXPECT_FALSE(h.widget(step.firstHidden)) << step.firstHidden;
        EXPECT_EQ(h.widget("sp-more") != nullptr, *step.button != 0);
        if (*step.button) {
            EXPECT_TRUE(h.drewText(step.button)) << step.button;
            h.clickWidget("sp-more");
            h.frames(2);
        }
    }
    EXPECT_TRUE(h.drewText("250 transactions in the past year and the next"));
    // A new run shows the first hundred again.
    s.maxText = "0";
    h.frame();
    h.frame();
    EXPECT_EQ(s.shownCount, 100);
}

TEST(SearchPage, CountLine)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    SearchPageState& s = searchState(*h);
    struct Case {
        const char* query;
        bool bounded;
        const char* line;
    };
    const Case cases[] = {
        {"coffee", false, "1 transaction in the past year and the next"},
        {"coffee", true, "1 transaction"},
        {"savings", false, "1 transaction in the past year and the next"},
        {"rent", true, "2 transactions"},
        {"nothing like it", false, nullptr},
    };
    openSearch(h);
    for (const Case& c : cases) {
        s.query = c.query;
        s.fromSet = c.bounded;
        s.fromDate = {2025, 2, 1};
        s.toSet = c.bounded;
        s.toDate = {2025, 3, 31};
        h.frames(2);
        if (c.line) {
            EXPECT_TRUE(h.drewText(c.line)) << c.query;
            EXPECT_EQ(searchCountLine(s), c.line);
        } else {
            EXPECT_EQ(searchCountLine(s), "");
            EXPECT_TRUE(h.drewText("No matching transactions"));
            EXPECT_TRUE(h.drewText("Try widening the date range or clearing a filter."));
        }
    }
}

TEST(SearchPage, CategoryFilterKeepsItsChoiceWhenTheListChanges)
{
    PageHarness h;
    addCategory(h.store(), "Rent", "#336699", 0);
    addCategory(h.store(), "Travel", "#996633", 0);
    addPlan(h, "Flat", -900, {2025, 1, 1}, "dom_1_every", "Rent");
    addPlan(h, "Train", -40, {2025, 3, 2}, "", "Travel");
    SearchPageState& s = searchState(*h);
    s.category = "Rent";
    openSearch(h);
    auto allRent = [&] {
        return !s.results.empty() && std::all_of(s.results.begin(), s.results.end(), [](auto& hit) {
            return hit.transaction->category == "Rent";
        });
    };
    ASSERT_TRUE(allRent());
    EXPECT_TRUE(h.drewText("Rent"));
    int64_t runs = s.runs;
    // "Bills" sorts before "Rent": a kept position would now mean Bills.
    ASSERT_TRUE(addCategory(h.store(), "Bills", "#663399", 0).ok);
    h.frame();
    EXPECT_EQ(s.runs, runs + 1);
    EXPECT_EQ(s.category, "Rent");
    EXPECT_TRUE(allRent());
    EXPECT_EQ(s.results.size(), 15u);  // January 2025 to March 2026
}

TEST(SearchPage, ARowLeadsToItsOccurrenceOnTheCalendar)
{
    PageHarness h;
    testing::SampleBudget ids = testing::addSampleBudget(*h);
    h->shownMonth = {2025, 7};
    calendarState(*h).searchText = "to savings";
    openSearch(h);
    h.frame();
    ASSERT_EQ(searchState(*h).results.size(), 1u);
    EXPECT_TRUE(h.drewText("Checking \u2192 Savings"));
    h.clickWidget("sp-row#0");
    h.frame();
    EXPECT_EQ(h->page, pageCalendar);
    EXPECT_EQ(h->previousPage, pageSearch);
    const Date day{2025, 3, 14};
    EXPECT_EQ(h->selectedOccurrence, (OccurrenceRef{ids.transfer, 0, day, true}));
    EXPECT_TRUE(h->focusedDayValid);
    EXPECT_EQ(h->focusedDay, day);
    EXPECT_EQ(h->selectedDate, day);
    EXPECT_EQ(h->shownMonth, (YearMonth{2025, 3}));
}

}  // namespace
}  // namespace qm
