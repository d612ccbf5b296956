// The month figures popover: which month it shows as it opens and steps,
// its rows, its chart's lines, and its width on a narrow view.
#include <gtest/gtest.h>

#include <cmath>

#include "app/page_table.h"
#include "model/record_edits.h"
#include "pages/calendar/month_figures.h"
#include "pages/page_harness.h"
#include "pages/sample_budget.h"
#include "ui/hit_test.h"
#include "ui/widget_id.h"

namespace qm {
namespace {

using testing::PageHarness;

const char* const kRowLabels[] = {"Opening Balance", "Current Balance", "Closing Balance", "Minimum Balance",
    "Average Daily Balance", "Maximum Balance", "Total Income", "Total Expenses", "Disposable Income"};

int rowsDrawn(const PageHarness& h)
{
    int n = 0;
    for (const char* label : kRowLabels)
        n += h.drewText(label) ? 1 : 0;
    return n;
}

TEST(MonthFigures, OpensOnTheShownMonthAndStepsAcrossTheYear)
{
    PageHarness h;
    h->shownMonth = {2025, 1};
    h.frame();
    h.clickWidget("nav-balance");
    h.frame();
    EXPECT_EQ(figuresPanelMonth(*h), (Date{2025, 1, 1}));
    EXPECT_TRUE(h.drewText("January 2025"));
    h.clickWidget("bal-prev");
    h.frames(2);
    EXPECT_TRUE(h.drewText("December 2024"));
    h.clickWidget("bal-prev");
    h.frames(2);
    EXPECT_TRUE(h.drewText("November 2024"));
    for (int i = 0; i < 3; ++i) {
        h.clickWidget("bal-next");
        h.frames(2);
    }
    EXPECT_TRUE(h.drewText("February 2025"));

    // Closed by a click outside, then opened again: the shown month once more.
    h.click(300, 500);
    h.frame();
    EXPECT_FALSE(h.drewText("February 2025"));
    h->shownMonth = {2025, 3};
    h.frame();
    h.clickWidget("nav-balance");
    h.frame();
    EXPECT_TRUE(h.drewText("March 2025"));
}

TEST(MonthFigures, TodaysMonthHasTheCurrentBalanceRow)
{
    PageHarness h;
    testing::addSampleBudget(*h);
    h.frame();
    h.clickWidget("nav-balance");
    h.frame();
    EXPECT_EQ(rowsDrawn(h), 9);
    EXPECT_TRUE(h.drewText("Current Balance"));
    h.clickWidget("bal-next");
    h.frames(2);
    EXPECT_EQ(rowsDrawn(h), 8);
    EXPECT_FALSE(h.drewText("Current Balance"));
    for (int i = 0; i < 2; ++i) {
        h.clickWidget("bal-prev");
        h.frames(2);
    }
    EXPECT_EQ(rowsDrawn(h), 8);
}

std::vector<BalancePoint> series(std::initializer_list<double> balances)
{
    std::vector<BalancePoint> out;
    Date d{2025, 3, 1};
    for (double b : balances) {
        out.push_back({d, b});
        d = addDays(d, 1);
    }
    return out;
}

TEST(MonthFigures, ChartLinesInsideTheBox)
{
    const Rect box{100, 200, 316, 110};
    const double inset = 8, top = box.y + inset, bottom = box.y + box.h - inset;
    struct Case {
        std::vector<BalancePoint> points;
        size_t line;
        bool zero;
    };
    const Case cases[] = {
        {series({500, 500, 500, 500}), 4, false},
        {series({500, 500.4, 500}), 3, false},
        {series({100, -50, 30}), 3, true},
        {series({0, 10, 20}), 3, false},
        {series({-20, -10, 0}), 3, false},
        {series({300, NAN, 100}), 2, false},
        {series({42}), 0, false},
        {{}, 0, false},
    };
    for (const Case& c : cases) {
        FiguresChart chart = figuresChart(c.points, box, inset);
        ASSERT_EQ(chart.line.size(), c.line) << c.points.size();
        EXPECT_EQ(chart.zeroLine, c.zero);
        for (const auto& [x, y] : chart.line) {
            EXPECT_GE(x, box.x + inset - 1e-9);
            EXPECT_LE(x, box.x + box.w - inset + 1e-9);
            EXPECT_GE(y, top - 1e-9);
            EXPECT_LE(y, bottom + 1e-9);
        }
        if (c.line > 0) {
            EXPECT_DOUBLE_EQ(chart.line.front().first, box.x + inset);
            EXPECT_DOUBLE_EQ(chart.line.back().first, box.x + box.w - inset);
        }
    }
    // A flat month lies level on the floor of its widened range.
    FiguresChart flat = figuresChart(series({500, 500, 500}), box, inset);
    for (const auto& point : flat.line)
        EXPECT_DOUBLE_EQ(point.second, bottom);
    // The zero line lies where the balance line passes zero.
    FiguresChart crossing = figuresChart(series({100, -100}), box, inset);
    EXPECT_DOUBLE_EQ(crossing.zeroY, (top + bottom) / 2);
    EXPECT_DOUBLE_EQ(crossing.line[0].second, top);
    EXPECT_DOUBLE_EQ(crossing.line[1].second, bottom);
}

TEST(MonthFigures, NarrowViewsTakeTheWidthLessSixteen)
{
    // The desktop bar needs 640 dp, so a narrower panel is opened and drawn
    // here straight from the page.
    for (int32_t width : {340, 375, 376, 377, 800}) {
        PageHarness h(width, 820);
        PageTable t = pageTable();
        t.drawCalendarPage = [](AppState& s, const Rect&) {
            const Rect anchor{20, 20, 100, 30};
            openPopup(*s.ui, widgetId(*s.ui, "balancepanel"), anchor);
            drawMonthFiguresPanel(s, anchor);
        };
        setPageTable(std::move(t));
        h.frame();
        Rect prev = h.rectOf("bal-prev"), next = h.rectOf("bal-next");
        double panel = next.x + next.w - prev.x + 2 * 14;
        EXPECT_DOUBLE_EQ(panel, std::min(width - 16.0, 360.0)) << width;
    }
}

}  // namespace
}  // namespace qm
