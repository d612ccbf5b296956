#include "pages/reports/report_charts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/page_draw_harness.h"
#include "pages/reports/report_charts_internal.h"
#include "platform/render/renderer.h"

namespace qm {
namespace {

using testing::PageDrawHarness;
using testing::sameColor;
using testing::Shape;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ReportCharts, NiceAxisStep)
{
    struct Case {
        double range, step;
    };
    for (Case c : std::vector<Case>{{0, 1}, {-5, 1}, {4, 1}, {6, 2}, {14, 5}, {30, 10}, {1234, 200}, {1, 0.2},
             {0.004, 0.001}, {kNan, 1}, {kInf, 1}, {-kInf, 1}})
        EXPECT_DOUBLE_EQ(niceAxisStep(c.range), c.step) << c.range;
}

TEST(ReportCharts, KeptLinePoints)
{
    using Kept = std::vector<size_t>;
    auto xs = [](size_t n) {
        std::vector<double> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = double(i) * 2;
        return v;
    };
    struct Case {
        const char* what;
        std::vector<double> ys;
        std::vector<uint8_t> kinds;
        Kept kept;
    };
    const std::vector<Case> cases = {
        {"one point", {5}, {}, {0}},
        {"two points", {5, 9}, {}, {0, 1}},
        {"flat", {5, 5, 5, 5, 5}, {}, {0, 4}},
        {"a straight ramp", {0, 1, 2, 3, 4, 5}, {}, {0, 5}},
        {"wobbles under a quarter pixel", {0, 0.1, 0, -0.1, 0}, {}, {0, 4}},
        {"a wobble over it stays", {0, 0.2, 0, -0.2, 0}, {}, {0, 2, 4}},
        {"steps keep their corners", {0, 0, 10, 10, 10}, {}, {0, 1, 2, 4}},
        {"a spike of one day stays", {0, 0, 0, 30, 0, 0}, {}, {0, 2, 3, 4, 5}},
        {"a change of kind pins both ends", {0, 1, 2, 3, 4, 5}, {0, 0, 0, 1, 1, 1}, {0, 2, 3, 5}},
        {"points that are not numbers stay with their neighbours", {0, 1, kNan, 3, 4, 5}, {}, {0, 1, 2, 3, 5}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keptChartPoints(xs(c.ys.size()), c.ys, c.kinds, 0.25), c.kept) << c.what;
}

TEST(ReportCharts, LabelDaysAndTooltipTexts)
{
    using Days = std::vector<size_t>;
    EXPECT_EQ(balanceLabelDays(0), Days{});
    EXPECT_EQ(balanceLabelDays(1), Days{});
    EXPECT_EQ(balanceLabelDays(2), (Days{0, 1}));
    EXPECT_EQ(balanceLabelDays(5), (Days{0, 1, 2, 3, 4}));
    EXPECT_EQ(balanceLabelDays(40), (Days{0, 8, 16, 23, 31, 39}));
    EXPECT_EQ(balanceLabelDays(3650).size(), 6u);

    EXPECT_EQ(balanceTooltip(Date{2026, 3, 7}, -12.5, 1254.5),
        "March 7, 2026\nBalance: -$12.50\nMonthly disposable income: $1,254.50");
    EXPECT_EQ(barTooltip("Food", {0, 45.5, 1}, false), "Food\nIncome: $0.00\nExpenses: $45.50\n1 transaction");
    EXPECT_EQ(barTooltip("Checking", {3000, 1745.5, 4}, true),
        "Checking\nIncome: $3,000.00\nExpenses: $1,745.50\nNet: $1,254.50\n4 transactions");
    EXPECT_EQ(barTooltip("None", {0, 0, 0}, false), "None\nIncome: $0.00\nExpenses: $0.00\n0 transactions");
}

// One chart alone in a frame, over a hand-made model.
struct ChartHarness : PageDrawHarness {
    ReportModel model;
    GroupTotals totals;
    bool bars = false;
    bool byAccount = false;
    Rect chart{100, 100, 600, 300};

    ChartHarness()
        : PageDrawHarness(1000, 700)
    {
        start();
        state().todayDate = Date{2030, 1, 1};
        page = [this] {
            if (bars)
                drawIncomeExpenseBars(state(), totals, byAccount, chart, ui().theme);
            else
                drawBalanceChart(state(), model, chart, ui().theme);
        };
    }
    Rect plot() const { return chartPlotRect(*app.state, chart); }
    const Theme& theme() { return ui().theme; }
    void days(const std::vector<double>& balances, double disposable = 0)
    {
        model.dailyBalances.clear();
        Date d{2026, 3, 1};
        for (double b : balances) {
            model.dailyBalances.push_back({d, b});
            d = addDays(d, 1);
        }
        model.monthlyDisposable.assign(balances.size(), disposable);
    }
    // The grid lines' y, top to bottom.
    std::vector<double> grid()
    {
        std::vector<double> ys;
        Rect p = plot();
        for (const Shape& s : shapes())
            if (s.mode == modeFlat && std::fabs(s.bounds.w - p.w) < 0.5 && std::fabs(s.bounds.h - 1) < 0.01
                && std::fabs(s.bounds.x - p.x) < 0.5)
                ys.push_back(s.bounds.y);
        return ys;
    }
    // The zero line's y, if one is drawn.
    std::optional<double> zeroLine()
    {
        Color zero = withAlpha(theme().base[slotTextTertiary], 0.5);
        Rect p = plot();
        for (const Shape& s : withColor(modeFlat, zero))
            if (std::fabs(s.bounds.w - p.w) < 0.5)
                return s.bounds.y;
        return std::nullopt;
    }
};

TEST(ReportCharts, BalanceChartEdges)
{
    {
        SCOPED_TRACE("every value the same: the axis runs from it to one more");
        ChartHarness h;
        h.days({500, 500, 500}, 500);
        h.frame();
        std::vector<double> g = h.grid();
        // 500 to 501 in steps of 0.2.
        ASSERT_EQ(g.size(), 6u);
        EXPECT_NEAR(g.front() - g.back(), h.plot().h, 0.01);
        // An unchanged balance is one segment across the plot.
        std::vector<Shape> line = h.withColor(modeLine, h.theme().base[slotAccent]);
        ASSERT_EQ(line.size(), 1u);
        EXPECT_NEAR(line[0].p[0], h.plot().x, 0.01);
        EXPECT_NEAR(line[0].p[2], h.plot().x + h.plot().w, 0.01);
        h.days({100, 200, 200, 200, 300, 250});
        h.frame();
        EXPECT_EQ(h.withColor(modeLine, h.theme().base[slotAccent]).size(), 4u);
    }
    {
        SCOPED_TRACE("all above zero: the axis starts above zero, the areas reach down to it");
        ChartHarness h;
        h.days({1000, 1500, 1200});
        h.model.monthlyDisposable.assign(3, 1100);
        h.frame();
        EXPECT_FALSE(h.zeroLine());
        std::vector<Shape> fill = h.withColor(modeFlat, withAlpha(h.theme().base[slotAccent], 0.08));
        ASSERT_FALSE(fill.empty());
        double bottom = 0;
        for (const Shape& s : fill)
            bottom = std::max(bottom, s.bounds.y + s.bounds.h);
        // The axis runs from 1000 to 1500, so zero lies two plot heights
        // below the plot's bottom.
        Rect p = h.plot();
        EXPECT_NEAR(bottom, p.y + p.h + 2 * p.h, 0.5);
    }
    {
        SCOPED_TRACE("two days: one segment, negative in the danger colour");
        ChartHarness h;
        h.days({100, -50});
        h.frame();
        EXPECT_EQ(h.withColor(modeLine, h.theme().base[slotDanger]).size(), 1u);
        EXPECT_TRUE(h.withColor(modeLine, h.theme().base[slotAccent]).empty());
        EXPECT_TRUE(h.zeroLine());
    }
    {
        SCOPED_TRACE("one day or none: the empty text only");
        for (size_t n : {0u, 1u}) {
            ChartHarness h;
            h.days(std::vector<double>(n, 10));
            h.frame();
            EXPECT_TRUE(h.grid().empty());
            EXPECT_TRUE(h.withColor(modeLine, h.theme().base[slotAccent]).empty());
        }
    }
    {
        SCOPED_TRACE("NaN is skipped; an infinite value leaves the chart bare");
        ChartHarness h;
        h.days({100, kNan, 300});
        h.frame();
        EXPECT_FALSE(h.grid().empty());
        h.days({100, kInf, 300});
        h.frame();
        EXPECT_TRUE(h.grid().empty());
        EXPECT_TRUE(h.withColor(modeLine, h.theme().base[slotAccent]).empty());
        h.days({kNan, kNan}, kNan);
        h.frame();
        EXPECT_TRUE(h.grid().empty());
    }
    {
        SCOPED_TRACE("today's dashed marker");
        ChartHarness h;
        h.days({1, 2, 3, 4, 5});
        h.state().todayDate = Date{2026, 3, 3};
        h.frame();
        std::vector<Shape> dashes = h.withColor(modeLine, h.theme().base[slotTextTertiary]);
        ASSERT_FALSE(dashes.empty());
        Rect p = h.plot();
        for (const Shape& s : dashes)
            EXPECT_NEAR(s.p[0], p.x + p.w / 2, 0.01);
    }
}

TEST(ReportCharts, BarChartEdges)
{
    {
        SCOPED_TRACE("one group: one slot as wide as the plot, bars at most 28 wide");
        ChartHarness h;
        h.bars = true;
        h.totals = {{"Food", {500, 200, 3}}};
        h.frame();
        std::vector<Shape> fills = h.withColor(modeRoundRect, withAlpha(h.theme().base[slotSuccess], 0.55));
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_NEAR(fills[0].rect.w, 28, 0.01);
        Rect p = h.plot();
        EXPECT_NEAR(fills[0].rect.x + fills[0].rect.w + 1, p.x + p.w / 2, 0.01);
    }
    {
        SCOPED_TRACE("zero income: no fill, still the outline");
        ChartHarness h;
        h.bars = true;
        h.totals = {{"Food", {0, 200, 3}}, {"Rent", {0, 900, 1}}};
        h.frame();
        EXPECT_TRUE(h.withColor(modeRoundRect, withAlpha(h.theme().base[slotSuccess], 0.55)).empty());
        EXPECT_EQ(h.withColor(modeRoundOutline, h.theme().base[slotSuccess]).size(), 2u);
        EXPECT_EQ(h.withColor(modeRoundRect, withAlpha(h.theme().base[slotDanger], 0.55)).size(), 2u);
    }
    {
        SCOPED_TRACE("a negative account net lowers the axis below zero; categories never do");
        for (bool byAccount : {false, true}) {
            ChartHarness h;
            h.bars = true;
            h.byAccount = byAccount;
            h.totals = {{"Checking", {100, 900, 2}}, {"Savings", {400, 0, 1}}};
            h.frame();
            std::optional<double> zero = h.zeroLine();
            ASSERT_TRUE(zero);
            std::vector<double> g = h.grid();
            double lowest = *std::max_element(g.begin(), g.end());
            if (byAccount) {
                EXPECT_GT(lowest, *zero + 1);
                // The net line: one segment and a dot per account.
                EXPECT_EQ(h.withColor(modeLine, h.theme().base[slotAccent]).size(), 1u);
            } else {
                EXPECT_NEAR(lowest, *zero, 0.01);
                EXPECT_TRUE(h.withColor(modeLine, h.theme().base[slotAccent]).empty());
            }
        }
    }
    {
        SCOPED_TRACE("no groups: nothing but the empty text");
        ChartHarness h;
        h.bars = true;
        h.frame();
        EXPECT_TRUE(h.grid().empty());
    }
}

TEST(ReportCharts, TooltipsAfterTheRestDelay)
{
    ChartHarness h;
    h.days({100, 200, 300, 400, 500}, 42);
    Rect p = h.plot();
    // Over day 3 (of 0..4), a little off its x.
    h.move(p.x + p.w * 0.74, p.y + p.h / 2);
    const std::string day3 = balanceTooltip(Date{2026, 3, 4}, 400, 42);
    h.frames(20);
    EXPECT_NE(h.ui().tooltipShown, day3);
    h.frames(12);
    EXPECT_EQ(h.ui().tooltipShown, day3);

    ChartHarness b;
    b.bars = true;
    b.byAccount = true;
    b.totals = {{"Checking", {3000, 1745.5, 4}}, {"Savings", {200, 0, 1}}};
    Rect bp = b.plot();
    b.move(bp.x + bp.w * 0.75, bp.y + 5);
    b.frames(32);
    EXPECT_EQ(b.ui().tooltipShown, barTooltip("Savings", {200, 0, 1}, true));
    b.move(bp.x + bp.w * 0.25, bp.y + 5);
    b.frames(5);
    EXPECT_NE(b.ui().tooltipShown, barTooltip("Checking", {3000, 1745.5, 4}, true));
    b.frames(27);
    EXPECT_EQ(b.ui().tooltipShown, barTooltip("Checking", {3000, 1745.5, 4}, true));
}

}  // namespace
}  // namespace qm
