#include "pages/reports/reports_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "app/file_dialog.h"
#include "app/page_draw_harness.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "core/files.h"
#include "model/export_fixtures.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/reports/report_export.h"
#include "pages/reports/report_model.h"
#include "pages/reports/reports_page_internal.h"
#include "platform/keys.h"
#include "platform/render/renderer.h"
#include "ui/widget_id.h"
#include "ui/widget_state.h"

namespace qm {
namespace {

using testing::oneOff;
using testing::PageDrawHarness;
using testing::sameColor;
using testing::series;
using testing::Shape;

// The page alone over the whole view, at a content width of its own: the
// window is the width plus both margins.
struct ReportsHarness : PageDrawHarness {
    explicit ReportsHarness(double contentWidth = 1180, bool compact = false, int32_t height = 800)
        : PageDrawHarness(int32_t(contentWidth + (compact ? 24 : 56)), height)
    {
        start();
        state().compact = compact;
        state().todayDate = Date{2026, 3, 15};
        state().shownMonth = {2026, 3};
        state().page = pageReports;
        page = [this] { drawReportsPage(state(), viewRect()); };
    }
    LocalStore& store() { return *state().store; }
    // Main with a salary and rent, a transfer to Reserve and one purchase.
    void fillBudget(bool recurring = true)
    {
        EditResult main = addAccount(store(), "Main", "checking");
        ASSERT_TRUE(main.ok) << main.error;
        ASSERT_TRUE(addAccount(store(), "Reserve", "savings").ok);
        setSelectedAccount(store(), main.id);
        auto add = [&](Transaction t, const char* category) {
            t.account = "Main";
            t.category = category;
            ASSERT_TRUE(addTransaction(store(), t).ok);
        };
        if (recurring) {
            add(series(0, "nth_1_months", "2026-01-01", 3000, "Salary"), "Income");
            add(series(0, "nth_1_months", "2026-01-03", -1500, "Rent"), "Housing");
        }
        Transaction move = oneOff(0, "2026-03-10", -200, "Move to savings");
        move.transfer_to_account = "Reserve";
        add(move, "");
        add(oneOff(0, "2026-03-14", -45.5, "Groceries"), "Food");
    }
    const Theme& theme() { return ui().theme; }
    // Cards filled in the surface colour with this height, by position.
    std::vector<Rect> cards(double height)
    {
        std::vector<Rect> out;
        for (const Shape& s : withColor(modeRoundRect, theme().base[slotSurface]))
            if (std::fabs(s.rect.h - height) < 0.01)
                out.push_back(s.rect);
        return out;
    }
    // Row dividers of the tables: 1 high, in the border colour, not as wide
    // as the whole card (the header divider is).
    std::vector<Rect> dividers()
    {
        std::vector<Rect> out;
        for (const Shape& s : withColor(modeFlat, theme().base[slotShadeStrong]))
            if (std::fabs(s.bounds.h - 1) < 0.01)
                out.push_back(s.bounds);
        return out;
    }
    void scrollToEnd()
    {
        move(viewRect().w / 2, viewRect().h / 2);
        for (int i = 0; i < 20; ++i) {
            wheel(-20);
            frame();
        }
    }
};

TEST(ReportsPage, RangeStartsAtTheCalendarsMonthAndStepsByMonths)
{
    ReportsHarness h;
    h.state().shownMonth = {2025, 7};
    h.frames(2);
    EXPECT_EQ(reportPage(h.state()).from, (Date{2025, 7, 1}));
    EXPECT_EQ(reportPage(h.state()).to, (Date{2025, 7, 31}));
    EXPECT_EQ(reportModel(h.state()).from, (Date{2025, 7, 1}));

    struct Case {
        Date from, to;
        const char* button;
        Date wantFrom, wantTo;
    };
    const std::vector<Case> cases = {
        {{2025, 7, 15}, {2025, 9, 20}, "rp-next", {2025, 8, 1}, {2025, 8, 31}},
        {{2025, 7, 15}, {2025, 7, 16}, "rp-prev", {2025, 6, 1}, {2025, 6, 30}},
        {{2025, 1, 31}, {2025, 1, 31}, "rp-next", {2025, 2, 1}, {2025, 2, 28}},
        {{2024, 12, 31}, {2025, 1, 1}, "rp-next", {2025, 1, 1}, {2025, 1, 31}},
        {{2025, 1, 20}, {2025, 1, 21}, "rp-prev", {2024, 12, 1}, {2024, 12, 31}},
        {{2020, 2, 29}, {2020, 3, 1}, "rp-today", {2026, 3, 1}, {2026, 3, 31}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " from " + formatIso(c.from));
        reportPage(h.state()).from = c.from;
        reportPage(h.state()).to = c.to;
        h.frames(2);
        h.clickWidget(c.button);
        EXPECT_EQ(reportPage(h.state()).from, c.wantFrom);
        EXPECT_EQ(reportPage(h.state()).to, c.wantTo);
        EXPECT_EQ(reportModel(h.state()).to, c.wantTo);
    }
}

TEST(ReportsPage, ToBeforeFromBecomesFromInTheSameFrame)
{
    for (bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "compact" : "wide");
        ReportsHarness h(compact ? 360 : 1180, compact);
        h.frames(2);
        h.clickWidget("datetextrp-to");
        h.key(keyA, modControl);
        h.type("2026-02-10");
        h.frame();
        h.key(keyEnter);
        h.frame();
        EXPECT_EQ(reportPage(h.state()).from, (Date{2026, 3, 1}));
        EXPECT_EQ(reportPage(h.state()).to, (Date{2026, 3, 1}));
    }
}

TEST(ReportsPage, ColumnsAndChartsFollowTheContentWidth)
{
    struct Case {
        double width;
        bool compact;
        int32_t columns;
        bool twoUp;
        bool compactTables;
    };
    const std::vector<Case> cases = {
        {1180, false, 5, true, false},
        {901, false, 5, true, false},
        {900, false, 3, false, false},
        {798, false, 3, false, false},
        {797, false, 3, false, true},
        {650, false, 3, false, true},
        {366, true, 2, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        ReportsPageLayout l = reportsPageLayout(c.width, c.compact);
        EXPECT_EQ(l.tileColumns, c.columns);
        EXPECT_EQ(l.chartsTwoUp, c.twoUp);
        EXPECT_EQ(l.compactTables, c.compactTables);
    }

    // Read back from what the page draws: tiles of 74, chart cards of 280.
    struct Drawn {
        double width;
        size_t tileColumns, tileRows;
        bool twoUp;
    };
    for (const Drawn& d : std::vector<Drawn>{{901, 5, 2, true}, {900, 3, 3, false}}) {
        SCOPED_TRACE(d.width);
        ReportsHarness h(d.width, false, 1400);
        h.state().todayDate = Date{2030, 1, 1};  // no current balance: 8 tiles
        h.fillBudget();
        h.frames(2);
        ASSERT_EQ(reportMetrics(reportModel(h.state()).summary).size(), 8u);
        std::set<double> xs, ys;
        std::vector<Shape> tiles;
        for (const Shape& s : h.shapes())
            if ((s.mode == modeRoundRect) && std::fabs(s.rect.h - 74) < 0.01 && s.rect.w > 100) {
                xs.insert(std::round(s.rect.x));
                ys.insert(std::round(s.rect.y));
            }
        EXPECT_EQ(xs.size(), d.tileColumns);
        EXPECT_EQ(ys.size(), d.tileRows);
        std::vector<Rect> charts = h.cards(280);
        ASSERT_EQ(charts.size(), 3u);
        EXPECT_EQ(charts[0].y == charts[1].y, d.twoUp);
        EXPECT_NEAR(charts[0].w, d.twoUp ? (d.width - 10) / 2 : d.width, 0.01);
        // The balance's area may reach far below its plot, never past its card.
        std::vector<Shape> area = h.withColor(modeFlat, withAlpha(h.theme().base[slotAccent], 0.08));
        ASSERT_FALSE(area.empty());
        for (const Shape& s : area) {
            ASSERT_TRUE(s.clipped);
            EXPECT_LE(s.clip.y + s.clip.h, charts[0].y + charts[0].h + 0.01);
        }
    }
}

TEST(ReportsPage, EmptyStatesAndNineTiles)
{
    ReportsHarness h(1180, false, 2000);
    h.frames(2);
    // Today lies in the range: the current balance makes nine tiles.
    EXPECT_EQ(reportMetrics(reportModel(h.state()).summary).size(), 9u);
    // Without recurring transactions its table is the 80-high empty card.
    EXPECT_TRUE(reportModel(h.state()).recurring.empty());
    std::vector<Rect> empty;
    for (const Shape& s : h.withColor(modeRoundRect, h.theme().base[slotSurface]))
        if (std::fabs(s.rect.h - 80) < 0.01)
            empty.push_back(s.rect);
    ASSERT_EQ(empty.size(), 1u);
    // Both bar charts say they have nothing: no bars of either colour.
    EXPECT_TRUE(h.withColor(modeRoundOutline, h.theme().base[slotSuccess]).empty());
}

TEST(ReportsPage, TablesWideCompactAndTheNarrowCardFallback)
{
    struct Case {
        double width;
        bool compact;
        double rowHeight;
    };
    for (const Case& c : std::vector<Case>{{1180, false, 36}, {900, false, 36}, {797, false, 52}, {366, true, 52}}) {
        SCOPED_TRACE(c.width);
        ReportsHarness h(c.width, c.compact, 4000);
        h.fillBudget();
        h.frames(2);
        const ReportModel& m = reportModel(h.state());
        // The starting balance, salary, rent, the transfer, groceries, closing.
        ASSERT_EQ(m.rows.size(), 6u);
        ASSERT_EQ(m.recurring.size(), 2u);
        EXPECT_EQ(reportAccountText(m.rows.source(m.rows[3])), "Main \u2192 Reserve");
        EXPECT_EQ(reportAccountText(m.rows.source(m.rows[4])), "Main");
        EXPECT_TRUE(m.rows.source(m.rows[0]).isBalanceRow && m.rows.source(m.rows[5]).isBalanceRow);
        std::vector<Rect> tables;
        for (const Shape& s : h.withColor(modeRoundRect, h.theme().base[slotSurface]))
            if (std::fabs(s.rect.w - c.width) < 0.01 && std::fabs(s.rect.h - (6 * c.rowHeight + 40)) < 0.01)
                tables.push_back(s.rect);
        ASSERT_EQ(tables.size(), 1u) << "the details table is six rows high";
        // Five dividers between the six rows, one row height apart.
        std::vector<double> ys;
        for (const Rect& d : h.dividers())
            if (d.y > tables[0].y && d.y < tables[0].y + tables[0].h && d.w < c.width - 1)
                ys.push_back(d.y);
        ASSERT_EQ(ys.size(), 5u);
        EXPECT_NEAR(ys[1] - ys[0], c.rowHeight, 1);
        // Balance lines have their own background only in the wide rows.
        size_t shaded = h.withColor(modeRoundRect, withAlpha(h.theme().base[slotBackgroundDeep], 0.6)).size();
        EXPECT_EQ(shaded, c.rowHeight == 36 ? 2u : 0u);
    }
}

TEST(ReportsPage, RowsOutOfSightAreNotDrawn)
{
    ReportsHarness h(1180, false, 700);
    for (int i = 0; i < 3; ++i) {
        Transaction t = series(0, "nth_1_days", "2026-01-01", -1 - i, "Coffee " + std::to_string(i));
        ASSERT_TRUE(addTransaction(h.store(), t).ok);
    }
    reportPage(h.state()).to = Date{2026, 12, 31};
    reportPage(h.state()).from = Date{2026, 1, 1};
    h.frames(2);
    const size_t rows = reportModel(h.state()).rows.size();
    ASSERT_GT(rows, 1000u);
    // The whole column is measured, a few rows are drawn.
    std::shared_ptr<ScrollState> scroll = scrollState(h.ui(), widgetId(h.ui(), "scrollreportspage"));
    EXPECT_GT(scroll->contentHeight, double(rows) * 36);
    EXPECT_LT(h.dividers().size(), 30u);
    h.scrollToEnd();
    size_t seen = h.dividers().size();
    EXPECT_GT(seen, 5u);
    EXPECT_LT(seen, 30u);
}

// The whole road: the page's button, the dialog, the shell's dispatch and
// the export's toast.
TEST(ReportsPage, ExportButtonsSaveThroughTheDialog)
{
    ReportsHarness h;
    PageTable table = standInPageTable();
    fillReportPageTable(table);
    setPageTable(std::move(table));
    h.page = {};
    h.fillBudget();
    testing::TempDir out;
    h.state().settings.lastDir = out.path();
    h.app.frames(2);
    for (auto [button, ext] :
        std::vector<std::pair<const char*, const char*>>{{"rp-pdf", ".pdf"}, {"rp-xlsx", ".xlsx"}}) {
        SCOPED_TRACE(button);
        h.state().toasts.clear();
        const WidgetRecord* w = h.widget(button);
        ASSERT_NE(w, nullptr);
        h.app.click(w->rect.x + w->rect.w / 2, w->rect.y + w->rect.h / 2);
        h.app.frames(2);
        EXPECT_TRUE(h.state().fileDialogPurpose.save);
        EXPECT_EQ(fileDialogState(h.state()).fileName, std::string("budget-report-2026-03-01") + ext);
        EXPECT_EQ(fileDialogState(h.state()).folder, out.path());
        const WidgetRecord* ok = h.widget("file-ok");
        ASSERT_NE(ok, nullptr);
        h.app.frames(30);
        h.app.click(ok->rect.x + ok->rect.w / 2, ok->rect.y + ok->rect.h / 2);
        h.app.frames(2);
        std::string path = out / (std::string("budget-report-2026-03-01") + ext);
        EXPECT_TRUE(isRegularFile(path));
        EXPECT_EQ(readFile(path).substr(0, 4), ext == std::string(".pdf") ? "%PDF" : "PK\x03\x04");
        ASSERT_EQ(h.state().toasts.size(), 1u);
        EXPECT_EQ(h.state().toasts[0].text, std::string("Saved budget-report-2026-03-01") + ext);
        h.app.frames(30);
    }
    setPageTable({});
}

}  // namespace
}  // namespace qm
