// The day view as drawn: running balances, the content column, paid and
// adjusted rows, and the empty day with and without a clipboard.
#include <gtest/gtest.h>

#include "app/navigation.h"
#include "model/adjustments.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_grid.h"
#include "pages/calendar/occurrence_actions.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "ui/theme.h"

namespace qm {
namespace {

using testing::PageHarness;

void showDay(PageHarness& h, Date day)
{
    h->view = viewDay;
    selectDate(*h, day.year, day.month, day.day);
    h.frames(2);
}

// The texts drawn at one x, top to bottom.
std::vector<std::string> columnAt(PageHarness& h, double x)
{
    std::vector<const testing::DrawnText*> found;
    for (const testing::DrawnText& t : h.texts)
        if (std::abs(t.rect.x - x) < 0.5)
            found.push_back(&t);
    std::stable_sort(found.begin(), found.end(), [](auto* a, auto* b) { return a->rect.y < b->rect.y; });
    std::vector<std::string> out;
    for (const testing::DrawnText* t : found)
        out.push_back(t->text);
    return out;
}

// The last drawn: the toolbar's title, drawn before the view, may show the
// same date.
const testing::DrawnText* textOf(PageHarness& h, const std::string& text)
{
    const testing::DrawnText* found = nullptr;
    for (const testing::DrawnText& t : h.texts)
        if (t.text == text)
            found = &t;
    return found;
}

TEST(DayView, BalancesAddTheSignedAmountsAndEndAtClosingUnlessAnchored)
{
    for (int64_t scope : {int64_t(0), int64_t(-1)}) {
        for (bool anchored : {false, true}) {
            PageHarness h;
            testing::SampleBudget s = testing::addSampleBudget(*h);
            int64_t account = scope == 0 ? 0 : s.checking;
            h.budget().user.selected_account_id = account;
            const Date day{2025, 3, 14};
            Transaction pay;
            pay.description = "Refund";
            pay.amount = 35.25;
            pay.start_date = day;
            pay.account = "Checking";
            ASSERT_TRUE(addTransaction(h.store(), pay).ok);
            if (anchored)
                setAnchor(h.store(), day, 777, account);
            showDay(h, day);
            DayRow row = dayLedger(storeProjection(h.store()), day, account, testing::kPinnedToday);
            ASSERT_EQ(row.entries.size(), 3u);
            // The opening row, then each entry's running balance.
            double x0 = (1280 - 980) / 2.0;
            std::vector<std::string> column = columnAt(h, x0 + 980 - 4 - 110);
            ASSERT_EQ(column.size(), 4u);
            EXPECT_EQ(column[0], formatMoney(row.startBalance));
            double running = row.startBalance;
            for (size_t i = 0; i < row.entries.size(); ++i) {
                running += row.entries[i].signedAmount;
                EXPECT_EQ(column[i + 1], formatMoney(running)) << i;
            }
            EXPECT_EQ(column.back() == formatMoney(row.balance), !anchored);
            EXPECT_TRUE(h.drewText((anchored ? "*" : "") + formatMoney(row.balance)));
        }
    }
}

TEST(DayView, ContentColumnTakesTheWidthLess40UpTo980)
{
    struct Case {
        double width, content;
    };
    for (const Case& c : {Case{1019, 979}, Case{1020, 980}, Case{2000, 980}, Case{700, 660}})
        EXPECT_EQ(dayViewContentWidth(c.width), c.content) << c.width;
    for (int width : {1019, 2000}) {
        PageHarness h(width, 820);
        showDay(h, {2025, 3, 12});
        const testing::DrawnText* heading = textOf(h, "March 12, 2025");
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(heading->rect.x, (width - dayViewContentWidth(width)) / 2) << width;
        EXPECT_EQ(heading->rect.w, dayViewContentWidth(width)) << width;
    }
}

TEST(DayView, PaidRowsFadeAndAdjustedRowsKeepTheirSignColour)
{
    PageHarness h;
    testing::SampleBudget s = testing::addSampleBudget(*h);
    const Date day{2025, 3, 14};
    ASSERT_TRUE(setOccurrencePaid(h.store(), s.lunch, day, true, 0));
    ASSERT_TRUE(setOccurrenceAmount(h.store(), s.transfer, day, -150, true, 0));
    h.budget().user.selected_account_id = s.checking;
    showDay(h, day);
    const Theme& t = h->ui->theme;
    const testing::DrawnText* lunch = textOf(h, "Lunch");
    ASSERT_NE(lunch, nullptr);
    EXPECT_NEAR(lunch->color.a, 0.6 * t.base[slotText].a, 0.01);
    EXPECT_TRUE(h.drewText("\u2713 Paid"));
    EXPECT_TRUE(h.drewText("Adjusted"));
    const testing::DrawnText* moved = textOf(h, formatMoneySigned(-150));
    ASSERT_NE(moved, nullptr);
    EXPECT_TRUE(testing::sameColor(moved->color, t.base[slotDanger]));
    const testing::DrawnText* transfer = textOf(h, "To savings");
    ASSERT_NE(transfer, nullptr);
    EXPECT_NEAR(transfer->color.a, t.base[slotText].a, 0.01);
}

TEST(DayView, EmptyDayMessagesAndPaste)
{
    PageHarness h;
    testing::SampleBudget s = testing::addSampleBudget(*h);
    const Date empty{2025, 2, 10};
    showDay(h, empty);
    EXPECT_TRUE(
        h.drewText("Nothing on this day yet. Add a transaction, or copy one from another day and paste it here."));
    EXPECT_EQ(h.widget("dv-paste"), nullptr);

    std::optional<LedgerEntry> coffee = findOccurrenceIn(*h, {s.coffee, 0, {2025, 3, 12}, true}, 0);
    ASSERT_TRUE(coffee);
    copyOccurrence(*h, occurrenceKey(*coffee));
    h.frames(2);
    EXPECT_TRUE(h.drewText("Nothing on this day yet."));
    ASSERT_NE(h.widget("dv-paste"), nullptr);
    h.clickWidget("dv-paste");
    h.frames(2);
    DayRow row = dayLedger(storeProjection(h.store()), empty, 0, testing::kPinnedToday);
    ASSERT_EQ(row.entries.size(), 1u);
    EXPECT_EQ(row.entries[0].transaction->description, "Coffee");
    EXPECT_NE(h.widget("dayrow-" + std::to_string(row.entries[0].transaction->id) + "-2025-02-10#0"), nullptr);
}

TEST(DayView, DrawsOnlyTheVisibleRowsAndStillWalksEveryBalance)
{
    PageHarness h(1280, 600);
    const Date day{2025, 3, 20};
    for (int i = 0; i < 40; ++i) {
        Transaction t;
        t.description = "Entry " + std::to_string(i);
        t.amount = i % 3 == 0 ? 10.5 : -(i + 0.25);
        t.start_date = day;
        t.account = "Checking";
        ASSERT_TRUE(addTransaction(h.store(), t).ok);
    }
    showDay(h, day);
    auto rowsDrawn = [&] {
        int n = 0;
        for (const WidgetRecord& w : h->ui->recorder->records)
            n += w.label.rfind("dayrow-", 0) == 0;
        return n;
    };
    EXPECT_GT(rowsDrawn(), 0);
    EXPECT_LT(rowsDrawn(), 12);
    EXPECT_FALSE(h.drewText("Entry 39"));

    // Scrolled to the end: the last rows are drawn with the balances of
    // every row before them.
    WindowEvent e;
    e.kind = weMouseMove;
    e.x = 640;
    e.y = 400;
    h.app.feed(e);
    for (int i = 0; i < 40; ++i) {
        e.kind = weScroll;
        e.dy = -3;
        h.app.feed(e);
        h.frame();
    }
    h.frames(2);
    EXPECT_LT(rowsDrawn(), 12);
    EXPECT_TRUE(h.drewText("Entry 39"));
    DayRow row = dayLedger(storeProjection(h.store()), day, 0, testing::kPinnedToday);
    double x0 = (1280 - 980) / 2.0;
    std::vector<std::string> column = columnAt(h, x0 + 980 - 4 - 110);
    ASSERT_FALSE(column.empty());
    EXPECT_EQ(column.back(), formatMoney(row.balance));
}

}  // namespace
}  // namespace qm
