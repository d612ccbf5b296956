// The month grid's tiles and lines as drawn, and dragging a line to another
// day, through the whole shell with the page fixture.
#include <gtest/gtest.h>

#include "app/navigation.h"
#include "app/page_table.h"
#include "model/adjustments.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/recurrence.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_grid.h"
#include "pages/calendar/calendar_state.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/editing/txform.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::PageHarness;

void pointer(PageHarness& h, WindowEventKind kind, double x, double y)
{
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = 1;
    h.app.feed(e);
}

struct Point {
    double x = 0, y = 0;
};

Point centreOf(const Rect& r) { return {r.x + r.w / 2, r.y + r.h / 2}; }

// The first widget whose label starts so.
Rect rectStarting(PageHarness& h, const std::string& prefix)
{
    for (const WidgetRecord& w : h->ui->recorder->records)
        if (w.label.rfind(prefix, 0) == 0)
            return w.rect;
    return {-1e6, -1e6, 0, 0};
}

// The first text drawn with exactly that content.
const testing::DrawnText* textOf(PageHarness& h, const std::string& text)
{
    for (const testing::DrawnText& t : h.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

int countLabels(PageHarness& h, const std::string& prefix)
{
    int n = 0;
    for (const WidgetRecord& w : h->ui->recorder->records)
        n += w.label.rfind(prefix, 0) == 0;
    return n;
}

// Draws one tile of the day in place of the page.
void drawOnlyTile(const DayRow& day, const Rect& rect)
{
    PageTable table = pageTable();
    table.drawCalendarPage = [day, rect](AppState& state, const Rect&) { drawDayTile(state, day, rect, false); };
    setPageTable(std::move(table));
}

DayRow dayWith(PageHarness& h, Date date, int entries)
{
    for (int i = 0; i < entries; ++i) {
        Transaction t;
        t.description = "Item " + std::to_string(i);
        t.amount = -1.0 - i;
        t.start_date = date;
        t.account = "Checking";
        EXPECT_TRUE(addTransaction(h.store(), t).ok);
    }
    return dayLedger(storeProjection(h.store()), date, 0, testing::kPinnedToday);
}

TEST(CalendarGrid, TilesDrawTheLinesThatFitAndAMoreRowOnlyForHiddenOnes)
{
    // A tile of height 21·fit + 30 dp has a line area of exactly fit lines.
    struct Case {
        int fit, entries, lines;
        const char* more;
    };
    const Case cases[] = {
        {3, 3, 3, ""},
        {3, 4, 2, "+2 more"},
        {3, 0, 0, ""},
        {0, 2, 0, "+2"},  // no room for a line: counted beside the day number
        {0, 0, 0, ""},
        {1, 1, 1, ""},
        {1, 5, 0, "+5 more"},
    };
    for (const Case& c : cases) {
        PageHarness h;
        DayRow day = dayWith(h, {2025, 3, 20}, c.entries);
        drawOnlyTile(day, {100, 200, 180, 21.0 * c.fit + 30});
        h.frames(2);
        EXPECT_EQ(countLabels(h, "tile-"), c.lines) << c.fit << " / " << c.entries;
        bool anyMore = false;
        for (const testing::DrawnText& t : h.texts)
            anyMore = anyMore || t.text.rfind("+", 0) == 0;
        EXPECT_EQ(anyMore, *c.more != 0) << c.fit << " / " << c.entries;
        if (*c.more) {
            EXPECT_TRUE(h.drewText(c.more)) << c.fit << " / " << c.entries;
        }
        EXPECT_EQ(countLabels(h, "more-"), *c.more ? 1 : 0);
        if (*c.more) {  // whole, inside the tile
            Rect more = h.rectOf("more-2025-03-20");
            EXPECT_GE(more.y, 200);
            EXPECT_LE(more.y + more.h, 200 + 21.0 * c.fit + 30 + 1e-9) << c.fit << " / " << c.entries;
        }
    }
    EXPECT_EQ(tileLines(-5, 2).fit, 0);

    // The real page in a short window: its empty tiles draw no more row.
    PageHarness shortWindow(1280, 380);
    shortWindow.frames(2);
    EXPECT_EQ(countLabels(shortWindow, "cell-"), 42);
    EXPECT_EQ(countLabels(shortWindow, "more-"), 0);
}

TEST(CalendarGrid, BalanceColourAnchorMarkAndItsTooltip)
{
    PageHarness h;
    const Theme& t = h->ui->theme;
    Color mixed = lerpColor(t.base[slotSuccess], t.base[slotTextSecondary], 0.4);
    struct Case {
        double balance;
        bool anchored;
        const char* text;
        Color color;
    };
    const Case cases[] = {
        {-0.004, false, "$0.00", mixed},
        {-0.005, false, "-$0.01", t.base[slotDanger]},
        {12.5, false, "$12.50", mixed},
        {12.5, true, "*$12.50", t.base[slotChart10]},
        {-40, true, "*-$40.00", t.base[slotDanger]},
    };
    Rect tile{100, 200, 180, 120};
    for (const Case& c : cases) {
        DayRow day = dayWith(h, {2025, 3, 20}, 0);
        day.balance = day.endBalance = c.balance;
        day.anchored = c.anchored;
        day.computedBalance = 7;
        drawOnlyTile(day, tile);
        h.frame();
        const testing::DrawnText* drawn = textOf(h, c.text);
        ASSERT_NE(drawn, nullptr) << c.text;
        EXPECT_TRUE(testing::sameColor(drawn->color, c.color)) << c.text;
    }

    // Resting on the anchored balance names the plan's own figure.
    const testing::DrawnText* balance = textOf(h, "*-$40.00");
    ASSERT_NE(balance, nullptr);
    pointer(h, weMouseMove, balance->rect.x + balance->rect.w - 4, balance->rect.y + balance->rect.h / 2);
    h.frames(40);
    EXPECT_EQ(h->ui->tooltipShown, "End-of-day balance (manually set; would be $7.00)");
}

TEST(CalendarGrid, SearchCutAndPaidMultiplyTheLinesOpacity)
{
    PageHarness h;
    testing::SampleBudget s = testing::addSampleBudget(*h);
    // The 2nd: Lunch paid; the 3rd: Rent moved there and cut.
    ASSERT_TRUE(setOccurrencePaid(h.store(), s.lunch, {2025, 3, 2}, true, 0));
    ASSERT_TRUE(setOccurrenceDate(h.store(), s.rent, {2025, 3, 1}, {2025, 3, 3}, 0));
    std::optional<LedgerEntry> rent = findOccurrenceIn(*h, {s.rent, 0, {2025, 3, 3}, true}, 0);
    ASSERT_TRUE(rent);
    cutOccurrence(*h, occurrenceKey(*rent));
    calendarState(*h).searchText = " rent ";
    h.frames(2);

    const Theme& t = h->ui->theme;
    auto alphaOf = [&](const std::string& text, Date day) {
        Rect cell = h.rectOf("cell-" + formatIso(day));
        for (const testing::DrawnText& d : h.texts)
            if (d.text == text && d.rect.y > cell.y && d.rect.y < cell.y + cell.h && d.rect.x > cell.x
                && d.rect.x < cell.x + cell.w)
                return double(d.color.a);
        return -1.0;
    };
    struct Case {
        const char* text;
        Date day;
        double alpha;
    };
    const Case cases[] = {
        {"Rent", {2025, 4, 1}, 1.0},
        {"Lunch", {2025, 3, 4}, 0.3},
        {"Lunch", {2025, 3, 2}, 0.3 * 0.55},
        {"Rent", {2025, 3, 3}, 0.5},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(alphaOf(c.text, c.day), c.alpha * t.base[slotText].a, 0.01) << c.text << formatIso(c.day);

    // A matching line lies on the selection fill; others on none.
    std::vector<testing::Shape> shapes = h.shapes();
    auto filledWithSelection = [&](int64_t id, Date day) {
        Rect line = rectStarting(h, "tile-" + std::to_string(id) + "-" + formatIso(day));
        bool found = false;
        for (Color c : testing::fillsAt(shapes, line))
            found = found || testing::sameColor(c, t.base[slotAccentBackground]);
        return found;
    };
    EXPECT_TRUE(filledWithSelection(s.rent, {2025, 4, 1}));
    EXPECT_FALSE(filledWithSelection(s.lunch, {2025, 3, 4}));
    EXPECT_TRUE(matchesGridSearch("Monthly RENT due", "  rEnT\t"));
    EXPECT_FALSE(matchesGridSearch("Lunch", " rent "));
}

TEST(CalendarGrid, LineAmountsByKindAdjustmentAndScope)
{
    PageHarness h;
    testing::SampleBudget s = testing::addSampleBudget(*h);
    Transaction pay;
    pay.description = "Payday";
    pay.amount = 2000;
    pay.start_date = {2025, 3, 21};
    pay.account = "Checking";
    ASSERT_TRUE(addTransaction(h.store(), pay).ok);
    ASSERT_TRUE(setOccurrenceAmount(h.store(), s.lunch, {2025, 3, 18}, -12.5, true, 0));
    const Theme& t = h->ui->theme;
    auto colourOf = [&](const std::string& text, Date day) -> std::optional<Color> {
        Rect cell = h.rectOf("cell-" + formatIso(day));
        for (const testing::DrawnText& d : h.texts)
            if (d.text == text && d.rect.y > cell.y + 20 && d.rect.y < cell.y + cell.h && d.rect.x > cell.x
                && d.rect.x < cell.x + cell.w)
                return d.color;
        return std::nullopt;
    };
    struct Case {
        int64_t account;  // -1: Checking
        const char* text;
        Date day;
        Color color;
    };
    const Case cases[] = {
        {0, "\u21c4 $100.00", {2025, 3, 14}, t.base[slotTextTertiary]},
        {-1, "-$100.00", {2025, 3, 14}, t.base[slotTextSecondary]},
        {0, "$2,000.00", {2025, 3, 21}, t.base[slotSuccess]},
        {0, "-$12.50", {2025, 3, 18}, t.base[slotWarning]},
        {0, "-$10.00", {2025, 3, 17}, t.base[slotTextSecondary]},
    };
    for (const Case& c : cases) {
        h.budget().user.selected_account_id = c.account == -1 ? s.checking : c.account;
        h.frames(2);
        std::optional<Color> got = colourOf(c.text, c.day);
        ASSERT_TRUE(got) << c.text;
        EXPECT_TRUE(testing::sameColor(*got, c.color)) << c.text;
    }
    std::optional<LedgerEntry> lunch = findOccurrenceIn(*h, {s.lunch, 0, {2025, 3, 18}, true}, 0);
    ASSERT_TRUE(lunch);
    EXPECT_EQ(transactionLineTooltip(*lunch, true),
        "Lunch\nAmount: -$12.50\nOriginal amount: -$10.00\nAccount: Checking\n" + describeRule("nth_1_days"));
    std::optional<LedgerEntry> move = findOccurrenceIn(*h, {s.transfer, 0, {2025, 3, 14}, true}, 0);
    ASSERT_TRUE(move);
    EXPECT_EQ(transactionLineTooltip(*move, false), "To savings\nAmount: -$100.00\nTransfer: Checking \u2192 Savings");
}

TEST(CalendarGrid, WeekdayCaptionsAbbreviateUpTo900Dp)
{
    for (auto [width, full] : {std::pair{900, false}, std::pair{901, true}}) {
        PageHarness h(width, 820);
        h.frames(2);
        for (const char* name : {"SUNDAY", "WEDNESDAY", "SATURDAY"}) {
            EXPECT_EQ(h.drewText(name), full) << width << " " << name;
            EXPECT_EQ(h.drewText(std::string(name).substr(0, 3)), !full) << width << " " << name;
        }
    }
}

// Press on Coffee (2025-03-12), move in steps, perhaps switch views, release.
TEST(CalendarGrid, DragStateTable)
{
    enum Target { nearby, otherDay, sameDay, outside };
    struct Case {
        const char* name;
        Target target;
        bool viaDayView;
        bool folded;  // the press and the first move reach one frame
        int adjustments;
        bool selected;
        const char* toast;
    };
    const Case cases[] = {
        {"a press and release under 6 dp only selects", nearby, false, false, 0, true, ""},
        {"a drag to another tile moves it there", otherDay, false, false, 1, true, "Moved to Apr 3, 2025"},
        {"a quick drag whose press a frame sees late", otherDay, false, true, 1, true, "Moved to Apr 3, 2025"},
        {"released on its own day", sameDay, false, false, 0, false, ""},
        {"released outside the grid", outside, false, false, 0, false, ""},
        {"released in the day view", otherDay, true, false, 0, false, ""},
    };
    for (const Case& c : cases) {
        PageHarness h;
        testing::SampleBudget s = testing::addSampleBudget(*h);
        h.frames(2);
        Point from = centreOf(rectStarting(h, "tile-" + std::to_string(s.coffee) + "-2025-03-12"));
        Point to = from;
        if (c.target == nearby)
            to = {from.x + 3, from.y + 3};
        else if (c.target == otherDay)
            to = centreOf(h.rectOf("cell-2025-04-03"));
        else if (c.target == sameDay)
            to = {from.x + 20, from.y + 30};
        else
            to = {20, 20};
        pointer(h, weMouseMove, from.x, from.y);
        pointer(h, weMouseDown, from.x, from.y);
        if (!c.folded)
            h.frame();
        for (int i = 1; i <= 4; ++i) {
            pointer(h, weMouseMove, from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4);
            h.frame();
        }
        if (c.target != nearby) {
            EXPECT_TRUE(h->dragInProgress) << c.name;
        }
        if (c.target == otherDay) {
            // The tile under the pointer shows itself as the drop target.
            bool filled = false;
            for (Color fill : testing::fillsAt(h.shapes(), h.rectOf("cell-2025-04-03")))
                filled = filled || testing::sameColor(fill, h->ui->theme.base[slotAccentBackground]);
            EXPECT_TRUE(filled) << c.name;
        }
        if (c.viaDayView) {
            h->view = viewDay;
            h.frame();
            EXPECT_FALSE(h->dragInProgress) << c.name;
        }
        pointer(h, weMouseUp, to.x, to.y);
        h.frames(2);
        if (c.viaDayView) {
            h->view = viewMonth;
            h.frames(2);
        }
        EXPECT_EQ(h.budget().transaction_adjustments.size(), size_t(c.adjustments)) << c.name;
        EXPECT_FALSE(h->dragInProgress) << c.name;
        EXPECT_FALSE(dragState(*h).armed) << c.name;
        EXPECT_EQ(h->selectedOccurrence.valid && h->selectedOccurrence.transactionId == s.coffee, c.selected) << c.name;
        std::vector<std::string> toasts = h.toasts();
        EXPECT_EQ(toasts.empty() ? std::string() : toasts.back(), c.toast) << c.name;
        if (c.adjustments == 1) {
            EXPECT_TRUE(testing::occurrencesOn(h.budget(), s.coffee, {2025, 3, 12}).empty());
            EXPECT_EQ(testing::occurrencesOn(h.budget(), s.coffee, {2025, 4, 3}).size(), 1u);
            EXPECT_EQ(h->selectedOccurrence.date, (Date{2025, 4, 3}));
        }
    }
}

TEST(CalendarGrid, DoubleClickOnAnEmptyAreaOpensTheFormAtThePress)
{
    PageHarness h;
    h.frames(2);
    Rect cell = h.rectOf("cell-2025-03-20");
    Point p{cell.x + cell.w / 2, cell.y + cell.h - 10};
    pointer(h, weMouseMove, p.x, p.y);
    pointer(h, weMouseDown, p.x, p.y);
    pointer(h, weMouseUp, p.x, p.y);
    h.frame();
    EXPECT_EQ(h->focusedDay, (Date{2025, 3, 20}));
    EXPECT_FALSE(h->txFormWindow->open);
    // The second press opens the form; its release, a frame later, does nothing more.
    pointer(h, weMouseDown, p.x, p.y);
    h.frame();
    EXPECT_TRUE(h->txFormWindow->open);
    pointer(h, weMouseUp, p.x, p.y);
    h.frames(2);
    EXPECT_TRUE(h->txFormWindow->open);
    EXPECT_EQ(h->txForm->date, (Date{2025, 3, 20}));
    EXPECT_FALSE(h->txForm->editing);
}

}  // namespace
}  // namespace qm
