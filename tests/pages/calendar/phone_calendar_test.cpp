// The narrow calendar on a phone-sized window: the pickers, the day sheet,
// the action sheet and the toolbar, driven through the page with the sample
// budget; what an action stores is read back from the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

#include "app/navigation.h"
#include "app/paths.h"
#include "core/files.h"
#include "model/adjustments.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/phone_calendar.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "platform/events.h"
#include "platform/render/color.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/theme.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;
using testing::SampleBudget;

struct Phone {
    PageHarness h;
    SampleBudget s;
    explicit Phone(int32_t width = 390, int32_t height = 844, uint8_t view = viewMonth)
        : h(width, height)
    {
        h.app.env.set("QUENMRK_PHONE", "1");
        s = testing::addSampleBudget(*h);
        h->view = view;
        h.frames(2);
    }
    void press(double x, double y, int button, WindowEventKind kind)
    {
        WindowEvent e;
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.button = button;
        h.app.feed(e);
    }
    void tap(const std::string& id, int button = 1)
    {
        Rect r = h.rectOf(id);
        double x = r.x + r.w / 2, y = r.y + r.h / 2;
        press(x, y, button, weMouseMove);
        press(x, y, button, weMouseDown);
        press(x, y, button, weMouseUp);
        h.frames(2);
    }
    std::string firstLabel(const std::string& prefix)
    {
        for (const WidgetRecord& w : h->ui->recorder->records)
            if (w.label.rfind(prefix, 0) == 0)
                return w.label;
        return {};
    }
    // Single-letter texts of that size, left to right.
    std::string letters(double size)
    {
        std::vector<testing::DrawnText> found;
        for (const testing::DrawnText& t : h.texts)
            if (t.text.size() == 1 && std::fabs(t.size - size) < 0.01)
                found.push_back(t);
        std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.rect.x < b.rect.x; });
        std::string out;
        for (const auto& t : found)
            out += t.text;
        return out;
    }
    bool popupOpen(const char* name) { return isPopupOpen(*h->ui, widgetId(*h->ui, name)); }
    void openSheetFor(int64_t transactionId, Date day)
    {
        selectDay(*h, day.year, day.month, day.day);
        h.frames(2);
        tap(firstLabel("ptxm-" + std::to_string(transactionId) + "-" + formatIso(day)));
    }
};

// The amounts drawn at the size, in drawing order.
std::vector<std::string> textsOfSize(PageHarness& h, double size)
{
    std::vector<std::string> out;
    for (const testing::DrawnText& t : h.texts)
        if (std::fabs(t.size - size) < 0.01 && t.text.find('$') != std::string::npos)
            out.push_back(t.text);
    return out;
}

TEST(PhoneCalendar, PickersStartOnSundayWithTheirLetters)
{
    for (auto [w, h] : {std::pair{390, 844}, std::pair{844, 390}}) {
        Phone p(w, h);
        EXPECT_EQ(p.h->phoneLandscape, w > h);
        // March 2025 begins on a Saturday: the grid's first cell is Feb 23.
        EXPECT_EQ(p.firstLabel("pcell-"), "pcell-2025-02-23");
        EXPECT_EQ(p.h.rectOf("pcell-2025-02-23").x, 0);
        EXPECT_EQ(p.letters(10.5), "SMTWTFS");

        p.h->view = viewWeek;
        p.h.frames(2);
        EXPECT_EQ(p.firstLabel("pweek-"), "pweek-2025-03-09");
        EXPECT_EQ(p.letters(10), "SMTWTFS");
    }
    EXPECT_EQ(weekdayLetter(weekday({2025, 3, 9})), "S");
    EXPECT_EQ(weekdayLetter(weekday({2025, 3, 10})), "M");
}

TEST(PhoneCalendar, LandscapeDayViewShowsTheMonthGridBesideTheSheet)
{
    Phone p(844, 390, viewDay);
    ASSERT_TRUE(p.h->phoneLandscape);
    EXPECT_NE(p.h.widget("pcell-2025-03-12"), nullptr);
    EXPECT_EQ(p.h.widget("ph-view#2"), nullptr);  // Month and Week only
    EXPECT_NE(p.h.widget("ph-menu-l"), nullptr);
    EXPECT_LT(p.h.rectOf("pcell-2025-03-31").x, 464);
    EXPECT_GE(p.h.rectOf("ph-dayadd").x, 465);
    p.h.clickWidget("ph-menu-l");
    p.h.frames(2);
    EXPECT_TRUE(p.popupOpen("phonemenu"));
}

TEST(PhoneCalendar, AtMostFourDotsADay)
{
    Phone p;
    for (int i = 0; i < 5; ++i) {
        Transaction t;
        t.description = "Extra " + std::to_string(i);
        t.amount = -1;
        t.start_date = {2025, 3, 20};
        t.account = "Checking";
        ASSERT_TRUE(addTransaction(p.h.store(), t).ok);
    }
    p.h.frame();
    auto dotsIn = [&](const Rect& cell) {
        int n = 0;
        for (const testing::Shape& s : p.h.shapes())
            n += std::fabs(s.rect.w - 5) < 0.01 && std::fabs(s.rect.h - 5) < 0.01
                && rectContains(cell, s.rect.x, s.rect.y);
        return n;
    };
    EXPECT_EQ(dotsIn(p.h.rectOf("pcell-2025-03-20")), 4);  // six entries with the daily lunch
    EXPECT_EQ(dotsIn(p.h.rectOf("pcell-2025-03-12")), 2);  // coffee and lunch
}

TEST(PhoneCalendar, DayBalanceColours)
{
    Theme t;
    fillLightTheme(t);
    Color muted = lerpColor(t.base[slotSuccess], t.base[slotTextSecondary], 0.4);
    struct Case {
        double balance;
        bool anchored;
        Color want;
    };
    const Case cases[] = {
        {-0.01, true, t.base[slotDanger]},
        {-0.01, false, t.base[slotDanger]},
        {-0.004, false, muted},
        {0, false, muted},
        {0, true, t.base[slotChart10]},
        {250, false, muted},
    };
    for (const Case& c : cases) {
        Color got = dayBalanceColor(t, c.balance, c.anchored);
        EXPECT_TRUE(got.r == c.want.r && got.g == c.want.g && got.b == c.want.b && got.a == c.want.a)
            << c.balance << " " << c.anchored;
    }
}

TEST(PhoneCalendar, FittedRowHeight)
{
    Phone p;
    struct Case {
        double given, space;
        size_t weeks;
        double want;
    };
    const Case cases[] = {
        {60, 500, 6, 60},
        {0, 300, 6, 50},
        {0, 300, 1, 300},
        {0, 300, 0, 300},
        {0, 100, 6, 30},
        {-5, 20, 0, 30},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(phoneGridRowHeight(*p.h, c.given, c.space, c.weeks), c.want) << c.space << "/" << c.weeks;
}

TEST(PhoneCalendar, TappingADayFocusesItAndShowsItsMonth)
{
    Phone p;
    p.tap("pcell-2025-03-20");
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 3, 20}));
    EXPECT_EQ(p.h->shownMonth.month, 3);
    EXPECT_TRUE(p.h.drewText("March 20, 2025"));
    p.tap("pcell-2025-04-05");
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 4, 5}));
    EXPECT_EQ(p.h->shownMonth.month, 4);

    // The strip steps into the next month the same way.
    p.h->view = viewWeek;
    selectDay(*p.h, 2025, 3, 30);
    showMonth(*p.h, 2025, 3);
    p.h.frames(2);
    p.tap("pweek-2025-04-01");
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 4, 1}));
    EXPECT_EQ(p.h->shownMonth.month, 4);
}

TEST(PhoneCalendar, DoubleTapOnTheFocusedCellAddsAndRightClickOpensTheDayMenu)
{
    Phone p;
    Rect cell = p.h.rectOf("pcell-2025-03-20");
    double x = cell.x + cell.w / 2, y = cell.y + cell.h / 2;
    p.press(x, y, 1, weMouseMove);
    p.press(x, y, 1, weMouseDown);
    p.press(x, y, 1, weMouseUp);
    p.h.frame();
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 3, 20}));
    EXPECT_FALSE(p.h->txFormWindow->open);
    p.press(x, y, 1, weMouseDown);
    p.h.frame();
    EXPECT_TRUE(p.h->txFormWindow->open);
    p.press(x, y, 1, weMouseUp);
    p.h.frames(2);
    EXPECT_EQ(p.h->txForm->date, (Date{2025, 3, 20}));
    EXPECT_FALSE(p.h->txForm->editing);
    p.h->txFormWindow->open = false;
    p.h.frames(2);

    p.tap("pcell-2025-03-25", 3);
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 3, 25}));
    EXPECT_EQ(calendarState(*p.h).dayMenuDay, (Date{2025, 3, 25}));
    EXPECT_TRUE(p.popupOpen("ctxday"));
}

TEST(PhoneCalendar, DaySheetCardsEmptyBoxAndPaste)
{
    Phone p;
    selectDay(*p.h, 2025, 2, 10);  // before any plan
    showMonth(*p.h, 2025, 2);
    p.h.frames(2);
    for (const char* text : {"OPENING", "NET", "CLOSING", "Nothing on this day yet. Tap + to add a transaction."})
        EXPECT_TRUE(p.h.drewText(text)) << text;
    EXPECT_EQ(p.h.widget("ph-paste"), nullptr);
    EXPECT_NE(p.h.widget("ph-dayadd"), nullptr);

    calendarState(*p.h).clipboardMode = clipCopy;
    p.h.frame();
    ASSERT_NE(p.h.widget("ph-paste"), nullptr);
    Rect paste = p.h.rectOf("ph-paste");
    Color active = p.h->ui->theme.base[slotAccentBackground];
    bool filledActive = false;
    for (const testing::Shape& s : p.h.shapes())
        filledActive = filledActive
            || (s.rect.x == paste.x && s.rect.y == paste.y && s.color.r == active.r && s.color.g == active.g
                && s.color.b == active.b);
    EXPECT_TRUE(filledActive);
}

TEST(PhoneCalendar, TransferRunningBalanceMeetsClosingAndBadgeOnlyWithoutFilter)
{
    Phone p;
    selectDay(*p.h, 2025, 3, 14);  // lunch and the transfer to savings
    p.h.frames(2);
    std::vector<std::string> balances = textsOfSize(p.h, 10.5);
    ASSERT_EQ(balances.size(), 2u);
    DayRow row = dayLedger(*p.h->store->budget, {2025, 3, 14}, 0, testing::kPinnedToday);
    EXPECT_EQ(balances.back(), formatMoney(row.balance));
    EXPECT_TRUE(p.h.drewText("\u21c4 $100.00"));

    setSelectedAccount(p.h.store(), p.s.checking);
    p.h.frames(2);
    EXPECT_FALSE(p.h.drewText("\u21c4 $100.00"));
    EXPECT_TRUE(p.h.drewText(formatMoneySigned(-100)));
    row = dayLedger(*p.h->store->budget, {2025, 3, 14}, p.s.checking, testing::kPinnedToday);
    EXPECT_EQ(textsOfSize(p.h, 10.5).back(), formatMoney(row.balance));
}

TEST(PhoneCalendar, PillsWhereRoomAllows)
{
    // Without the phone switch a window under 640 wide is compact too.
    struct Case {
        int32_t width;
        bool phone;
        bool paid, adjusted;
    };
    const Case cases[] = {{639, false, true, true}, {300, true, false, false}};
    for (const Case& c : cases) {
        PageHarness h(c.width, 800);
        if (c.phone)
            h.app.env.set("QUENMRK_PHONE", "1");
        SampleBudget s = testing::addSampleBudget(*h);
        const Date day{2025, 3, 12};
        ASSERT_TRUE(setOccurrencePaid(h.store(), s.coffee, day, true, 0));
        int64_t adjustment = testing::occurrencesOn(h.budget(), s.coffee, day).at(0).adjustmentId;
        ASSERT_TRUE(setOccurrenceAmount(h.store(), s.coffee, day, -6, true, adjustment));
        h.frames(3);
        ASSERT_TRUE(h->compact);
        EXPECT_EQ(h.drewText("\u2713 Paid"), c.paid) << c.width;
        EXPECT_EQ(h.drewText("Adjusted"), c.adjusted) << c.width;
    }
}

TEST(PhoneCalendar, ActionSheetColumnsAroundItsHeight)
{
    // 8 x 46 + 76 + 16 = 460: one column from there up.
    struct Case {
        int32_t height;
        int32_t columns;
    };
    for (Case c : {Case{461, 1}, Case{460, 1}, Case{459, 2}, Case{390, 2}}) {
        PageHarness h(390, c.height);
        h.app.env.set("QUENMRK_PHONE", "1");
        h.frame();
        ActionSheetLayout at = actionSheetLayout(*h);
        EXPECT_EQ(at.columns, c.columns) << c.height;
        EXPECT_EQ(at.sheet.h, at.rows * 46 + 76) << c.height;
        EXPECT_EQ(at.sheet.y + at.sheet.h, std::max(8.0 + at.sheet.h, c.height - 8.0)) << c.height;
        for (int32_t i = 0; i < 8; ++i) {
            Rect e = actionSheetEntry(*h, at, i);
            int32_t column = c.columns == 1 ? 0 : i / 4;
            EXPECT_DOUBLE_EQ(e.x, at.sheet.x + 6 + column * e.w) << i;
            EXPECT_DOUBLE_EQ(e.y, at.sheet.y + 56 + (c.columns == 1 ? i : i % 4) * 46) << i;
        }
    }
}

TEST(PhoneCalendar, EachSheetEntryActs)
{
    const Date day{2025, 3, 12};
    struct Case {
        int index;
        std::function<void(Phone&)> check;
    };
    const Case cases[] = {
        {0, [](Phone& p) { EXPECT_TRUE(p.h->txFormWindow->open && p.h->txForm->editing); }},
        {1,
            [&](Phone& p) {
                LocalStorePtr disk = openStore(p.h.store().folder);
                EXPECT_TRUE(testing::occurrencesOn(*disk->budget, p.s.coffee, day).at(0).paid);
            }},
        {2, [](Phone& p) { EXPECT_TRUE(p.h->adjustWindow->open); }},
        {3, [](Phone& p) { EXPECT_TRUE(p.h->moveWindow->open); }},
        {4,
            [&](Phone& p) {
                LocalStorePtr disk = openStore(p.h.store().folder);
                int copies = 0;
                for (const Transaction& t : disk->budget->transactions)
                    copies += t.description == "Coffee" && t.start_date == day;
                EXPECT_EQ(copies, 2);
            }},
        {5, [](Phone& p) { EXPECT_EQ(calendarState(*p.h).clipboardMode, clipCut); }},
        {6, [](Phone& p) { EXPECT_EQ(calendarState(*p.h).clipboardMode, clipCopy); }},
        {7, [](Phone& p) { EXPECT_TRUE(p.h->confirm.window->open); }},
    };
    for (const Case& c : cases) {
        Phone p(390, c.index % 2 ? 844 : 420, viewDay);  // one column and two
        p.openSheetFor(p.s.coffee, day);
        ASSERT_TRUE(p.popupOpen("txsheet")) << c.index;
        // The tap's release landed where "Delete transaction" now shows.
        EXPECT_FALSE(p.h->confirm.window->open) << c.index;
        EXPECT_TRUE(p.h.drewText("Coffee"));
        p.tap("sheet-" + std::to_string(c.index));
        EXPECT_FALSE(p.popupOpen("txsheet")) << c.index;
        c.check(p);
    }
}

TEST(PhoneCalendar, MoreClosesDeleteRecurringAndAVanishedTargetDrawsNothing)
{
    Phone p;
    const Date day{2025, 3, 12};
    // The prompt opens between the press on "more" and its release.
    Rect more = p.h.rectOf(p.firstLabel("ptxm-" + std::to_string(p.s.lunch) + "-2025-03-12"));
    double x = more.x + more.w / 2, y = more.y + more.h / 2;
    p.press(x, y, 1, weMouseMove);
    p.press(x, y, 1, weMouseDown);
    p.h.frame();
    openDeleteRecurring(*p.h, {p.s.lunch, 0, day, true});
    p.press(x, y, 1, weMouseUp);
    p.h.frames(2);
    EXPECT_FALSE(p.h->deleteRecurringWindow->open);
    ASSERT_TRUE(p.popupOpen("txsheet"));
    EXPECT_NE(p.h.widget("sheet-0"), nullptr);

    // A window grown past the narrow layout closes the sheet it cannot draw.
    p.h.app.env.set("QUENMRK_PHONE", std::nullopt);
    p.h.resize(1280, 820);
    p.h.frames(2);
    EXPECT_FALSE(p.popupOpen("txsheet"));
    p.h.app.env.set("QUENMRK_PHONE", "1");
    p.h.resize(390, 844);
    p.h.frames(2);
    p.tap(p.firstLabel("ptxm-" + std::to_string(p.s.lunch) + "-2025-03-12"));
    ASSERT_TRUE(p.popupOpen("txsheet"));

    ASSERT_TRUE(deleteTransaction(p.h.store(), p.s.lunch));
    p.h.frame();
    EXPECT_EQ(p.h.widget("sheet-0"), nullptr);
}

TEST(PhoneCalendar, ToolbarStepsTodayAndTheSavedView)
{
    Phone p;
    p.tap("ph-next");
    EXPECT_EQ(p.h->shownMonth.month, 4);
    p.tap("ph-prev");
    p.tap("ph-prev");
    EXPECT_EQ(p.h->shownMonth.month, 2);
    p.tap("pcell-2025-02-01");    // the rent
    p.tap(p.firstLabel("ptx-"));  // a row opens the form; the selection stays
    ASSERT_TRUE(p.h->txFormWindow->open);
    p.h->txFormWindow->open = false;
    p.h.frames(2);
    ASSERT_TRUE(p.h->selectedOccurrence.valid);
    p.tap("ph-today");
    EXPECT_EQ(p.h->shownMonth.month, 3);
    EXPECT_EQ(p.h->focusedDay, testing::kPinnedToday);
    EXPECT_FALSE(p.h->selectedOccurrence.valid);

    p.tap("ph-view#1");
    EXPECT_EQ(p.h->view, viewWeek);
    EXPECT_NE(readFile(settingsPath()).find("\"week\""), std::string::npos);
    p.tap("ph-next");  // a week on from today
    EXPECT_EQ(p.h->focusedDay, (Date{2025, 3, 19}));
}

TEST(PhoneCalendar, ToolbarPaneTodayAndSearch)
{
    EXPECT_EQ(phoneLeftPaneWidth(700), 385);
    EXPECT_EQ(phoneLeftPaneWidth(844), 464);

    Phone p;
    p.h->focusedDayValid = false;
    selectDate(*p.h, 2025, 3, 20);
    p.h.frame();
    EXPECT_EQ(phoneSheetDay(*p.h), testing::kPinnedToday);

    p.tap("ph-search");
    EXPECT_EQ(p.h->page, pageSearch);
    EXPECT_EQ(p.h->previousPage, pageCalendar);
}

}  // namespace
}  // namespace qm
