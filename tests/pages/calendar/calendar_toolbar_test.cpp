// The desktop calendar's toolbar and month summary, the account switcher
// and the month picker, driven through the page with the sample budget;
// what a choice stores is read back from the files.
#include <gtest/gtest.h>

#include <string>

#include "app/navigation.h"
#include "app/theme_apply.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/calendar_toolbar.h"
#include "pages/calendar/toolbar_pieces.h"
#include "pages/dialog_driving.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "pages/search/search_page.h"
#include "platform/keys.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

constexpr Date d12{2025, 3, 12}, d14{2025, 3, 14};

struct Toolbar {
    PageHarness h;
    SampleBudget s;
    explicit Toolbar(int32_t width = 1280)
        : h(width, 820)
    {
        s = testing::addSampleBudget(*h);
        h.frames(2);
    }
    void type(const std::string& text)
    {
        setFocus(*h->ui, widgetId(*h->ui, "tb-search"));
        h.frame();
        testing::typeText(h, text);
    }
    void enter()
    {
        h.key(keyEnter);
        h.frames(2);
    }
    bool popupOpen(const char* name) { return isPopupOpen(*h->ui, widgetId(*h->ui, name)); }
    LocalStorePtr disk() { return openStore(h.store().folder); }
};

TEST(CalendarToolbar, TitleOfEachView)
{
    Toolbar t;
    struct Case {
        uint8_t view;
        Date selected;
        const char* title;
    };
    const Case cases[] = {
        {viewMonth, {2025, 3, 12}, "March 2025"},
        {viewDay, {2025, 3, 12}, "March 12, 2025"},
        {viewWeek, {2025, 3, 12}, "Mar 9 \u2013 15, 2025"},
        {viewWeek, {2025, 1, 2}, "Dec 29 \u2013 Jan 4, 2025"},
        {viewWeek, {2025, 3, 1}, "Feb 23 \u2013 Mar 1, 2025"},
    };
    for (const Case& c : cases) {
        t.h->view = c.view;
        selectDate(*t.h, c.selected.year, c.selected.month, c.selected.day);
        t.h.frame();
        EXPECT_EQ(calendarTitle(*t.h), c.title);
        EXPECT_TRUE(t.h.drewText(c.title)) << c.title;
    }
}

TEST(CalendarToolbar, NavigationGroupNeverStartsLeftOfTheSwitcher)
{
    // Long account names push the switcher right; narrow windows squeeze
    // the group against the search field, then move the field and the view
    // switch to a row of their own. No control ever lies over another.
    const char* ids[] = {"account-switcher", "tb-prev", "tb-month", "tb-next", "tb-today", "tb-view#0", "tb-view#2",
        "tb-search", "tb-add"};
    for (const char* name : {"", "Checking", "A very long account name that fills"}) {
        for (int32_t width : {1600, 1280, 1000, 950, 900, 800, 700, 640}) {
            for (uint8_t view : {viewMonth, viewDay}) {
                Toolbar t(width);
                if (*name) {
                    ASSERT_TRUE(updateAccount(t.h.store(), t.s.checking, name, "").ok);
                    setSelectedAccount(t.h.store(), t.s.checking);
                }
                t.h->view = view;
                selectDate(*t.h, 2025, 9, 24);
                t.h.frame();
                Rect sw = t.h.rectOf("account-switcher"), prev = t.h.rectOf("tb-prev");
                SCOPED_TRACE(std::string(name) + " at " + std::to_string(width) + " view " + std::to_string(view));
                EXPECT_GE(prev.x, sw.x + sw.w + 14 - 1e-9);
                for (const char* a : ids) {
                    Rect ra = t.h.rectOf(a);
                    EXPECT_GE(ra.x, 0) << a;
                    EXPECT_LE(ra.x + ra.w, width + 1e-9) << a;
                    for (const char* b : ids) {
                        Rect rb = t.h.rectOf(b);
                        bool apart = ra.x + ra.w <= rb.x + 1e-9 || rb.x + rb.w <= ra.x + 1e-9
                            || ra.y + ra.h <= rb.y + 1e-9 || rb.y + rb.h <= ra.y + 1e-9;
                        EXPECT_TRUE(a == b || apart) << a << " over " << b;
                    }
                }
            }
        }
    }
}

TEST(CalendarToolbar, SearchFieldOpensThePopoverOnlyForText)
{
    Toolbar t;
    t.type("   ");
    EXPECT_FALSE(t.popupOpen("searchpop"));
    t.enter();
    EXPECT_EQ(t.h->page, pageCalendar);
    EXPECT_FALSE(t.popupOpen("searchpop"));

    calendarState(*t.h).searchText.clear();
    t.type("coff");
    EXPECT_FALSE(t.popupOpen("searchpop"));  // not while typing
    t.h.clickWidget("cell-2025-03-20");      // the field gives up focus with a changed text
    t.h.frames(2);
    EXPECT_EQ(t.h->focusedDay, (Date{2025, 3, 20}));  // and the click reached the day
    EXPECT_TRUE(t.popupOpen("searchpop"));
    EXPECT_TRUE(t.h.drewText("1 match"));
    EXPECT_TRUE(t.h.drewText("Coffee"));
    t.h.key(keyEscape);
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("searchpop"));

    // Leaving it again unchanged shows nothing; a click into the focused
    // field shows the hits again.
    t.h.clickWidget("tb-search");
    t.h.frames(2);
    EXPECT_FALSE(t.popupOpen("searchpop"));
    t.h.clickWidget("cell-2025-03-21");
    t.h.frames(2);
    EXPECT_FALSE(t.popupOpen("searchpop"));
    t.h.clickWidget("tb-search");
    t.h.frames(2);
    t.h.clickWidget("tb-search");
    t.h.frames(2);
    EXPECT_TRUE(t.popupOpen("searchpop"));
}

// The clear button lies inside the field; a click on it empties the search
// and closes the hits, whether or not they are shown or the field is typed in.
TEST(CalendarToolbar, ClearButtonEmptiesTheSearch)
{
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        Toolbar t;
        t.type("coff");
        t.h.frame();
        if (shown) {
            t.h.clickWidget("cell-2025-03-20");
            t.h.frames(2);
            ASSERT_TRUE(t.popupOpen("searchpop"));
        }
        ASSERT_NE(t.h.widget("tb-clear"), nullptr);
        t.h.clickWidget("tb-clear");
        t.h.frames(2);
        EXPECT_EQ(calendarState(*t.h).searchText, "");
        EXPECT_FALSE(t.popupOpen("searchpop"));
        EXPECT_EQ(t.h.widget("tb-clear"), nullptr);
    }
}

TEST(CalendarToolbar, EnterShowsTheSearchPageWithTheText)
{
    Toolbar t;
    t.type("rent");
    t.enter();
    EXPECT_EQ(t.h->page, pageSearch);
    EXPECT_EQ(t.h->previousPage, pageCalendar);
    EXPECT_FALSE(t.popupOpen("searchpop"));
    SearchPageState& s = searchState(*t.h);
    EXPECT_EQ(s.query, "rent");
    ASSERT_FALSE(s.results.empty());
    for (const SearchHit& hit : s.results)
        EXPECT_EQ(hit.transaction->description, "Rent");
}

TEST(CalendarToolbar, PopoverShowsEightRowsAndCountsTheRest)
{
    EXPECT_EQ(searchPopoverFooter(0), "0 matches");
    EXPECT_EQ(searchPopoverFooter(1), "1 match");
    EXPECT_EQ(searchPopoverFooter(8), "8 matches");
    EXPECT_EQ(searchPopoverFooter(23), "8 of 23 matches \u00b7 see Search for all");

    Toolbar t;
    for (int i = 0; i < 23; ++i) {
        Transaction g;
        g.description = "Gadget " + std::to_string(i);
        g.amount = -5 - i;
        g.account = "Checking";
        g.start_date = addDays(d12, i * 9 - 100);
        ASSERT_TRUE(addTransaction(t.h.store(), g).ok);
    }
    calendarState(*t.h).searchText = "gadget";
    openPopup(*t.h->ui, widgetId(*t.h->ui, "searchpop"), t.h.rectOf("tb-search"));
    t.h.frame();
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(t.h.widget("sr-" + std::to_string(i)), nullptr) << i;
    EXPECT_EQ(t.h.widget("sr-8"), nullptr);
    EXPECT_TRUE(t.h.drewText("8 of 23 matches \u00b7 see Search for all"));

    // A row takes the calendar to its occurrence.
    const SearchHit first = searchPopoverHits(*t.h, "gadget").rows.at(0);
    t.h.clickWidget("sr-0");
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("searchpop"));
    EXPECT_EQ(t.h->selectedDate, first.date);
    EXPECT_EQ(t.h->focusedDay, first.date);
    EXPECT_EQ(t.h->selectedOccurrence.transactionId, first.transaction->id);
}

TEST(CalendarToolbar, PopoverKeepsItsHitsUntilAnInputChanges)
{
    Toolbar t;
    int64_t runs = searchPopoverHits(*t.h, "lunch").runs;
    EXPECT_EQ(searchPopoverHits(*t.h, "lunch").runs, runs);
    struct Change {
        const char* name;
        std::function<void(Toolbar&)> apply;
    };
    const Change changes[] = {
        {"text", [](Toolbar&) {}},
        {"filter", [](Toolbar& t) { t.h.budget().user.selected_account_id = t.s.savings; }},
        {"shown month", [](Toolbar& t) { showMonth(*t.h, 2025, 4); }},
        {"today", [](Toolbar& t) { t.h->todayDate = d14; }},
        {"budget", [](Toolbar& t) { ASSERT_TRUE(deleteTransaction(t.h.store(), t.s.coffee)); }},
    };
    for (const Change& c : changes) {
        c.apply(t);
        std::string text = std::string_view(c.name) == "text" ? "lunc" : "lunch";
        int64_t before = searchPopoverHits(*t.h, "lunch").runs;
        if (text == "lunc") {
            EXPECT_EQ(searchPopoverHits(*t.h, "lunc").runs, before + 1) << c.name;
            searchPopoverHits(*t.h, "lunch");
            continue;
        }
        EXPECT_EQ(before, searchPopoverHits(*t.h, "lunch").runs) << c.name;
    }
}

TEST(CalendarToolbar, AddUsesTheFocusedDayElseToday)
{
    for (bool focused : {false, true}) {
        Toolbar t;
        t.h->focusedDayValid = focused;
        t.h->focusedDay = d14;
        t.h.clickWidget("tb-add");
        t.h.frames(2);
        ASSERT_TRUE(t.h->txFormWindow->open);
        EXPECT_EQ(txFormState(*t.h).kind, txExpense);
        EXPECT_EQ(txFormState(*t.h).date, focused ? d14 : d12);
    }
}

TEST(CalendarToolbar, ViewSwitchSetsTheViewAndItsSettingName)
{
    Toolbar t;
    selectDay(*t.h, 2025, 4, 2);
    t.h.frame();
    t.h.clickWidget("tb-view#1");
    t.h.frame();
    EXPECT_EQ(t.h->view, viewWeek);
    EXPECT_EQ(t.h->settings.view, "week");
    EXPECT_EQ(t.h->selectedDate, (Date{2025, 4, 2}));
    EXPECT_TRUE(t.h.drewText("Mar 30 \u2013 Apr 5, 2025"));
}

TEST(CalendarToolbar, SummaryFiguresAndSpendingBar)
{
    const Theme& light = [] {
        static Theme t;
        fillLightTheme(t);
        deriveThemeColors(t);
        return std::cref(t);
    }();
    EXPECT_EQ(spendingBarColor(light, 0.9), light.base[slotAccent]);
    EXPECT_EQ(spendingBarColor(light, 0.91), light.base[slotDanger]);
    EXPECT_EQ(spendingBarColor(light, 0.0), light.base[slotAccent]);

    Toolbar t;
    // March 2025, Checking and Savings: rent 1200, lunch 31 x 10, coffee
    // 4.50; the transfer moves money between the two and is no expense.
    EXPECT_TRUE(t.h.drewText("Spent $1,324.50 of $1,514.50 planned")) << "12 lunches to the 12th";
    EXPECT_TRUE(t.h.drewText("-$1,514.50"));
    showMonth(*t.h, 2020, 1);
    t.h.frame();
    EXPECT_TRUE(t.h.drewText("No expenses planned"));
    // Too narrow for the bar beside the five figures.
    Toolbar narrow(900);
    EXPECT_FALSE(narrow.h.drewText("Spent $1,324.50 of $1,514.50 planned"));
}

TEST(AccountSwitcher, RowsCountsAndUnanchoredAccounts)
{
    EXPECT_EQ(accountCountText(0), "0 accounts");
    EXPECT_EQ(accountCountText(1), "1 account");
    EXPECT_EQ(accountCountText(3), "3 accounts");

    Toolbar t;
    setAnchor(t.h.store(), d12, 900, t.s.checking);
    t.h.clickWidget("account-switcher");
    t.h.frames(2);
    ASSERT_TRUE(t.popupOpen("accountpop"));
    EXPECT_TRUE(t.h.drewText(accountCountText(t.h.budget().accounts.size())));
    EXPECT_TRUE(t.h.drewText("$900.00"));      // Checking's anchor
    EXPECT_TRUE(t.h.drewText("Set balance"));  // Savings has none
    EXPECT_NE(t.h.widget("acc-row-" + std::to_string(t.s.savings)), nullptr);

    std::vector<int64_t> others;
    for (const Account& a : t.h.budget().accounts)
        if (a.id != t.s.checking)
            others.push_back(a.id);
    for (int64_t id : others)
        ASSERT_TRUE(deleteAccount(t.h.store(), id));
    t.h.frame();
    EXPECT_TRUE(t.h.drewText("1 account"));
    EXPECT_FALSE(t.h.drewText("Set balance"));
    ASSERT_TRUE(deleteAccount(t.h.store(), t.s.checking));
    t.h.frame();
    EXPECT_TRUE(t.h.drewText("0 accounts"));
    EXPECT_NE(t.h.widget("acc-row-all"), nullptr);
}

TEST(AccountSwitcher, AChoiceFiltersAndIsStoredAsPreferences)
{
    Toolbar t;
    t.h.clickWidget("account-switcher");
    t.h.frames(2);
    t.h.clickWidget("acc-row-" + std::to_string(t.s.savings));
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("accountpop"));
    EXPECT_EQ(selectedAccountId(*t.h), t.s.savings);
    t.h.frame();
    EXPECT_TRUE(t.h.drewText("Savings"));
    LocalStorePtr d = t.disk();
    EXPECT_EQ(d->budget->user.selected_account_id, t.s.savings);
    ASSERT_FALSE(d->journal.empty());
    EXPECT_EQ(d->journal.back().entity, entPrefs);

    t.h.clickWidget("account-switcher");
    t.h.frames(2);
    t.h.clickWidget("acc-row-all");
    t.h.frame();
    EXPECT_EQ(t.disk()->budget->user.selected_account_id, 0);

    t.h.clickWidget("account-switcher");
    t.h.frames(2);
    t.h.clickWidget("acc-manage");
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("accountpop"));
    EXPECT_TRUE(t.h->accountsWindow->open);
}

TEST(MonthPicker, YearStepsChangeNothingUntilAPick)
{
    Toolbar t;
    t.h.clickWidget("tb-month");
    t.h.frames(2);
    ASSERT_TRUE(t.popupOpen("monthpicker"));
    t.h.clickWidget("mp-next");
    t.h.frame();
    t.h.clickWidget("mp-next");
    t.h.frame();
    EXPECT_EQ(monthPickerYear(*t.h), 2027);
    EXPECT_TRUE(t.h.drewText("2027"));
    EXPECT_EQ(t.h->shownMonth, (YearMonth{2025, 3}));
    t.h.key(keyEscape);
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("monthpicker"));
    EXPECT_EQ(t.h->shownMonth, (YearMonth{2025, 3}));
    EXPECT_EQ(t.h->selectedDate, d12);

    t.h.clickWidget("tb-month");
    t.h.frames(2);
    EXPECT_EQ(monthPickerYear(*t.h), 2025);
    t.h.clickWidget("mp-prev");
    t.h.frame();
    t.h.clickWidget("mp-m10");
    t.h.frame();
    EXPECT_FALSE(t.popupOpen("monthpicker"));
    EXPECT_EQ(t.h->shownMonth, (YearMonth{2024, 11}));
    EXPECT_EQ(t.h->selectedDate, (Date{2024, 11, 12}));
}

TEST(MonthPicker, TodaysMonthIsTintedOnlyInItsYearWhenNotShown)
{
    struct Case {
        YearMonth shown;
        int32_t pickerSteps;
        bool tinted;
    };
    const Case cases[] = {
        {{2025, 5}, 0, true},
        {{2025, 3}, 0, false},  // shown: the accent fill instead
        {{2025, 5}, 1, false},
        {{2024, 3}, 0, false},
    };
    for (const Case& c : cases) {
        Toolbar t;
        showMonth(*t.h, c.shown.year, c.shown.month);
        t.h.frame();
        t.h.clickWidget("tb-month");
        t.h.frames(2);
        for (int i = 0; i < c.pickerSteps; ++i) {
            t.h.clickWidget("mp-next");
            t.h.frame();
        }
        Rect march = t.h.rectOf("mp-m2");
        const Theme& theme = t.h->ui->theme;
        bool tinted = false, accent = false;
        for (const testing::Shape& s : t.h.shapes()) {
            if (s.rect.x != march.x || s.rect.y != march.y || s.rect.w != march.w)
                continue;
            tinted = tinted || s.color == theme.base[slotAccentBackground];
            accent = accent || s.color == theme.base[slotAccent];
        }
        EXPECT_EQ(tinted, c.tinted) << c.shown.year << "-" << c.shown.month << " +" << c.pickerSteps;
        EXPECT_EQ(accent, c.shown.month == 3 && c.pickerSteps == 0);
    }
}

TEST(StepCalendar, DayAndWeekViewsCrossYearsAndMonthViewStepsFromTheFirst)
{
    struct Case {
        uint8_t view;
        Date reference;
        int32_t n;
        Date focused;  // the day view and week view's new day
        YearMonth shown;
    };
    const Case cases[] = {
        {viewDay, {2024, 12, 31}, 1, {2025, 1, 1}, {2025, 1}},
        {viewDay, {2025, 1, 1}, -1, {2024, 12, 31}, {2024, 12}},
        {viewWeek, {2024, 12, 28}, 1, {2025, 1, 4}, {2025, 1}},
        {viewWeek, {2025, 1, 3}, -1, {2024, 12, 27}, {2024, 12}},
        {viewDay, {2024, 2, 28}, 1, {2024, 2, 29}, {2024, 2}},
    };
    for (const Case& c : cases) {
        Toolbar t;
        t.h->selectedOccurrence = {t.s.coffee, 0, d12, true};
        stepCalendar(*t.h, c.reference, c.view, c.n);
        EXPECT_EQ(t.h->focusedDay, c.focused) << formatIso(c.reference);
        EXPECT_TRUE(t.h->focusedDayValid);
        EXPECT_FALSE(t.h->selectedOccurrence.valid);
        EXPECT_EQ(t.h->shownMonth, c.shown);
    }
    // The month view steps from the first of the shown month, so 31
    // January lands in February; the focused day stays.
    for (auto [year, last] : {std::pair{2025, 28}, std::pair{2024, 29}}) {
        Toolbar t;
        selectDate(*t.h, year, 1, 31);
        selectDay(*t.h, year, 1, 31);
        stepCalendar(*t.h, {year, 1, 31}, viewMonth, 1);
        EXPECT_EQ(t.h->shownMonth, (YearMonth{year, 2}));
        EXPECT_EQ(t.h->selectedDate, (Date{year, 2, last}));
        EXPECT_EQ(t.h->focusedDay, (Date{year, 1, 31}));
        stepCalendar(*t.h, {year, 1, 31}, viewMonth, -1);
        stepCalendar(*t.h, {year, 1, 31}, viewMonth, -1);
        EXPECT_EQ(t.h->shownMonth, (YearMonth{year - 1, 12}));
    }
}

}  // namespace
}  // namespace qm
