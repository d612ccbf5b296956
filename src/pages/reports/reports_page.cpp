#include "pages/reports/reports_page.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "app/app_text.h"
#include "app/date_field.h"
#include "app/display_elements.h"
#include "app/file_dialog.h"
#include "app/form_layout.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "model/recurrence.h"
#include "pages/reports/report_charts.h"
#include "pages/reports/report_export.h"
#include "pages/reports/report_model.h"
#include "pages/reports/reports_page_internal.h"
#include "platform/render/primitives.h"
#include "ui/layout.h"
#include "ui/scroll_area.h"
#include "ui/spacing.h"

namespace qm {

namespace {

// Below this card width the wide columns leave the description too little.
constexpr double kWideTableMinWidth = 798;

struct Page {
    AppState& state;
    const Theme& theme;
    Rect view;  // the scroll area's visible band
    double x0 = 0;
    double w = 0;
    double y = 0;
    bool compact = false;
    ReportsPageLayout layout;

    Color slot(int32_t s) const { return theme.base[size_t(s)]; }
    // Which of count rows of height rowH starting at top are in sight.
    std::pair<size_t, size_t> visibleRows(double top, double rowH, size_t count) const
    {
        double a = std::floor((view.y - top) / rowH), b = std::ceil((view.y + view.h - top) / rowH);
        size_t first = size_t(std::clamp(a, 0.0, double(count)));
        size_t last = size_t(std::clamp(b, 0.0, double(count)));
        return {first, last};
    }
};

Color amountSlot(const Page& p, double amount) { return p.slot(amount < 0 ? slotDanger : slotSuccess); }

void sectionTitle(Page& p, std::string_view title)
{
    drawText(p.state, title, {p.x0, p.y, p.w, dp(*p.state.ui, 28)}, dp(*p.state.ui, 17), p.slot(slotText), 0, 700);
    p.y += dp(*p.state.ui, 28) + dp(*p.state.ui, 6);
}

void tableCard(Page& p, const Rect& card)
{
    fillRoundRect(*p.state.renderer, card, dp(*p.state.ui, 12), p.slot(slotSurface));
    strokeRoundRect(*p.state.renderer, card, dp(*p.state.ui, 12), 1, p.slot(slotShadeStrong));
}

void emptyTable(Page& p, std::string_view line1, std::string_view line2)
{
    Rect card{p.x0, p.y, p.w, dp(*p.state.ui, 80)};
    tableCard(p, card);
    drawText(p.state, line1, {card.x, card.y + dp(*p.state.ui, 16), card.w, dp(*p.state.ui, 22)}, dp(*p.state.ui, 14),
        p.slot(slotText), 0.5, 600);
    drawText(p.state, line2, {card.x, card.y + dp(*p.state.ui, 42), card.w, dp(*p.state.ui, 18)}, dp(*p.state.ui, 12),
        p.slot(slotTextSecondary), 0.5, 400);
    p.y += card.h;
}

struct Column {
    std::string_view title;
    double width;  // 0: the rest
    double align;
};

// Header captions and their divider; gives the columns' left edges.
std::vector<double> tableHeader(Page& p, const Rect& card, const std::vector<Column>& columns)
{
    double rest = card.w - dp(*p.state.ui, 650) - dp(*p.state.ui, 28);
    std::vector<double> xs;
    double x = card.x + dp(*p.state.ui, 14);
    for (const Column& c : columns) {
        double cw = c.width > 0 ? dp(*p.state.ui, c.width) : rest;
        xs.push_back(x);
        sectionCaption(p.state, c.title, {x, card.y, cw - dp(*p.state.ui, 10), dp(*p.state.ui, 32)}, c.align);
        x += cw;
    }
    xs.push_back(x);
    drawDivider(p.state, card.x, card.x + card.w, card.y + dp(*p.state.ui, 32), p.slot(slotShadeStrong));
    return xs;
}

// The cell of column i: its width less 10.
Rect cell(const Page& p, const std::vector<double>& xs, size_t i, const Rect& row)
{
    return {xs[i], row.y, xs[i + 1] - xs[i] - dp(*p.state.ui, 10), row.h};
}

void cellText(Page& p, std::string_view text, const Rect& r, double size, Color color, int32_t weight)
{
    drawText(p.state, elideText(p.state, text, r.w, size, weight), r, size, color, 0, weight);
}

// The section title and either the empty state or the table's card, whose
// height counts every row; the card when any of it is in sight.
std::optional<Rect> tableSection(
    Page& p, std::string_view title, size_t count, double rowH, std::string_view empty1, std::string_view empty2)
{
    sectionTitle(p, title);
    if (count == 0) {
        emptyTable(p, empty1, empty2);
        return std::nullopt;
    }
    Rect card{p.x0, p.y, p.w, double(count) * rowH + dp(*p.state.ui, 40)};
    p.y += card.h;
    if (card.y > p.view.y + p.view.h || card.y + card.h < p.view.y)
        return std::nullopt;
    tableCard(p, card);
    return card;
}

// Calls draw with the index and rectangle of each row in sight, after the
// divider above it. Compact rows start right below the card's top and keep
// 10 from its sides; wide rows start below the header.
template <class Draw>
void tableRows(Page& p, const Rect& card, double rowH, size_t count, bool compact, Draw draw)
{
    const double top = card.y + dp(*p.state.ui, compact ? 4 : 36);
    const double inset = dp(*p.state.ui, compact ? 10 : 4), dividerInset = compact ? 0 : dp(*p.state.ui, 8);
    auto [first, last] = p.visibleRows(top, rowH, count);
    for (size_t i = first; i < last; ++i) {
        Rect row{card.x + inset, top + double(i) * rowH, card.w - 2 * inset, rowH};
        if (i > 0)
            drawDivider(p.state, row.x + dividerInset, row.x + row.w - dividerInset, row.y, p.slot(slotShadeStrong));
        draw(i, row);
    }
}

void transactionDetails(Page& p)
{
    const ReportModel& model = reportModel(p.state);
    const bool compact = p.layout.compactTables;
    const double rowH = dp(*p.state.ui, compact ? 52 : 36);
    std::optional<Rect> card = tableSection(p, "Transaction Details", model.rows.size(), rowH,
        "No transactions in this date range", "Adjust the dates above, or add transactions on the calendar.");
    if (!card)
        return;
    AppState& s = p.state;
    if (compact) {
        tableRows(p, *card, rowH, model.rows.size(), true, [&](size_t i, const Rect& row) {
            const ReportRow& r = model.rows[i];
            const ReportRowSource& t = model.rows.source(r);
            const double x = row.x, iw = row.w, ry = row.y;
            const bool balance = t.isBalanceRow;
            cellText(p, t.description(), {x, ry + dp(*p.state.ui, 7), iw - dp(*p.state.ui, 120), dp(*p.state.ui, 18)},
                dp(*p.state.ui, 12.5), p.slot(balance ? slotTextSecondary : slotText), balance ? 500 : 600);
            std::string sub = shortDate(r.date);
            if (!t.category().empty())
                sub += " \u00b7 " + std::string(t.category());
            cellText(p, sub, {x, ry + dp(*p.state.ui, 27), iw - dp(*p.state.ui, 120), dp(*p.state.ui, 16)},
                dp(*p.state.ui, 11), p.slot(slotTextTertiary), 400);
            if (!balance && t.counted)
                drawTextWith(s, formatMoney(r.amount),
                    {x + iw - dp(*p.state.ui, 110), ry + dp(*p.state.ui, 5), dp(*p.state.ui, 110), dp(*p.state.ui, 20)},
                    dp(*p.state.ui, 12), amountSlot(p, r.amount), 1, 1);
            drawTextWith(s, formatMoney(r.runningBalance),
                {x + iw - dp(*p.state.ui, 110), ry + dp(*p.state.ui, 27), dp(*p.state.ui, 110), dp(*p.state.ui, 18)},
                dp(*p.state.ui, 11), amountColor(s, r.runningBalance, 0), 1, 0);
        });
        return;
    }
    std::vector<double> xs = tableHeader(p, *card,
        {{"Date", 100, 0}, {"Description", 0, 0}, {"Category", 150, 0}, {"Account", 150, 0}, {"Amount", 120, 1},
            {"Running Total", 130, 1}});
    tableRows(p, *card, rowH, model.rows.size(), false, [&](size_t i, const Rect& row) {
        const ReportRow& r = model.rows[i];
        const ReportRowSource& t = model.rows.source(r);
        if (t.isBalanceRow) {
            fillRoundRect(*s.renderer, row, dp(*p.state.ui, 6), withAlpha(p.slot(slotBackgroundDeep), 0.6));
            drawText(s, shortDate(r.date), cell(p, xs, 0, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 0, 400);
            cellText(p, t.description(), cell(p, xs, 1, row), dp(*p.state.ui, 12.5), p.slot(slotTextSecondary), 600);
        } else {
            drawText(s, shortDate(r.date), cell(p, xs, 0, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 0, 400);
            cellText(p, t.description(), cell(p, xs, 1, row), dp(*p.state.ui, 12.5), p.slot(slotText), 500);
            cellText(p, t.category(), cell(p, xs, 2, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 400);
            cellText(p, reportAccountText(t), cell(p, xs, 3, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 400);
            if (t.counted)
                drawTextWith(
                    s, formatMoney(r.amount), cell(p, xs, 4, row), dp(*p.state.ui, 12), amountSlot(p, r.amount), 1, 1);
        }
        drawTextWith(s, formatMoney(r.runningBalance), cell(p, xs, 5, row), dp(*p.state.ui, 12),
            amountColor(s, r.runningBalance, 0), 1, 0);
    });
}

void recurringTransactions(Page& p)
{
    const ReportModel& model = reportModel(p.state);
    const bool compact = p.layout.compactTables;
    const double rowH = dp(*p.state.ui, compact ? 52 : 36);
    std::optional<Rect> card = tableSection(p, "Recurring Transactions", model.recurring.size(), rowH,
        "No recurring transactions", "Recurring bills and income will appear here once set up.");
    if (!card)
        return;
    AppState& s = p.state;
    if (compact) {
        tableRows(p, *card, rowH, model.recurring.size(), true, [&](size_t i, const Rect& row) {
            const RecurringRow& r = model.recurring[i];
            const Transaction& t = r.transaction;
            const double x = row.x, iw = row.w, ry = row.y;
            cellText(p, t.description, {x, ry + dp(*p.state.ui, 7), iw - dp(*p.state.ui, 110), dp(*p.state.ui, 18)},
                dp(*p.state.ui, 12.5), p.slot(slotText), 600);
            std::string sub = describeRule(t.recurring_period);
            sub += r.remaining ? " \u00b7 " + std::to_string(*r.remaining) + " left, " + formatMoney(r.remainingTotal)
                               : std::string(" \u00b7 Ongoing");
            cellText(p, sub, {x, ry + dp(*p.state.ui, 27), iw - dp(*p.state.ui, 110), dp(*p.state.ui, 16)},
                dp(*p.state.ui, 11), p.slot(slotTextTertiary), 400);
            drawTextWith(s, formatMoney(t.amount), {x + iw - dp(*p.state.ui, 100), ry, dp(*p.state.ui, 100), rowH},
                dp(*p.state.ui, 12), amountSlot(p, t.amount), 1, 1);
        });
        return;
    }
    std::vector<double> xs = tableHeader(p, *card,
        {{"Description", 0, 0}, {"Amount", 120, 1}, {"Category", 150, 0}, {"Account", 150, 0}, {"Remaining", 110, 0},
            {"Total Left", 120, 1}});
    tableRows(p, *card, rowH, model.recurring.size(), false, [&](size_t i, const Rect& row) {
        const RecurringRow& r = model.recurring[i];
        const Transaction& t = r.transaction;
        cellText(p, t.description + "  \u00b7  " + describeRule(t.recurring_period), cell(p, xs, 0, row),
            dp(*p.state.ui, 12.5), p.slot(slotText), 500);
        drawTextWith(s, formatMoney(t.amount), cell(p, xs, 1, row), dp(*p.state.ui, 12), amountSlot(p, t.amount), 1, 1);
        cellText(p, t.category, cell(p, xs, 2, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 400);
        cellText(p, t.account, cell(p, xs, 3, row), dp(*p.state.ui, 12), p.slot(slotTextSecondary), 400);
        drawText(s, r.remaining ? std::to_string(*r.remaining) : std::string("Ongoing"), cell(p, xs, 4, row),
            dp(*p.state.ui, 12), p.slot(slotTextSecondary), 0, 400);
        drawTextWith(s, r.remaining ? formatMoney(r.remainingTotal) : std::string("\u2014"), cell(p, xs, 5, row),
            dp(*p.state.ui, 12), p.slot(slotText), 1, 0);
    });
}

Color tileColor(const Page& p, const ReportFigure& f)
{
    switch (f.metric) {
    case ReportMetric::minimum:
    case ReportMetric::expenses:
        return p.slot(slotDanger);
    case ReportMetric::average:
        return p.slot(slotText);
    case ReportMetric::maximum:
    case ReportMetric::income:
        return p.slot(slotSuccess);
    default:
        return amountColor(p.state, f.value, 0);
    }
}

void balanceSummary(Page& p)
{
    sectionTitle(p, "Balance Summary");
    std::vector<ReportFigure> figures = reportMetrics(reportModel(p.state).summary);
    const double tileH = dp(*p.state.ui, p.compact ? 70 : 74), gap = dp(*p.state.ui, kSpaceRoomy);
    // Fewer columns where the widest tile would not show its figure whole:
    // a cut balance reads as another number.
    double tileMin = 0;
    for (const ReportFigure& f : figures)
        tileMin = std::max(tileMin, infoCardWidth(p.state, f.label, formatMoney(f.value), false));
    const int32_t columns =
        std::clamp(int32_t(std::floor((p.w + gap) / (tileMin + gap))), int32_t(1), p.layout.tileColumns);
    const size_t rows = (figures.size() + size_t(columns) - 1) / size_t(columns);
    const double tileW = (p.w - double(columns - 1) * gap) / double(columns);
    for (size_t i = 0; i < figures.size(); ++i) {
        const ReportFigure& f = figures[i];
        Rect tile{p.x0 + double(i % size_t(columns)) * (tileW + gap), p.y + double(i / size_t(columns)) * (tileH + gap),
            tileW, tileH};
        bool highlight = f.metric == ReportMetric::closing || f.metric == ReportMetric::disposable;
        infoCard(p.state, tile, f.label, formatMoney(f.value), tileColor(p, f), {.highlighted = highlight});
    }
    p.y += double(rows) * tileH + double(rows - 1) * gap;
}

void chartCard(Page& p, int32_t which, const Rect& card)
{
    static constexpr std::string_view titles[] = {"Balance Forecast", "Category Analysis", "Account Analysis"};
    drawReportSection(p.state, titles[which], card, p.theme);
    Rect chart{card.x + dp(*p.state.ui, 8), card.y + dp(*p.state.ui, 40), card.w - dp(*p.state.ui, 16),
        card.h - dp(*p.state.ui, 48)};
    const ReportModel& model = reportModel(p.state);
    // The balance's area reaches down to zero, which may lie far below the
    // plot: it stays inside its own card rather than over the next one.
    pushClip(*p.state.renderer, card);
    if (which == 0)
        drawBalanceChart(p.state, model, chart, p.theme);
    else
        drawIncomeExpenseBars(
            p.state, which == 1 ? model.categoryTotals : model.accountTotals, which == 2, chart, p.theme);
    popClip(*p.state.renderer);
}

void charts(Page& p)
{
    const double h = dp(*p.state.ui, p.compact ? 240 : 280), gap = dp(*p.state.ui, kSpaceRoomy);
    auto inSight = [&](const Rect& r) { return r.y < p.view.y + p.view.h && r.y + r.h > p.view.y; };
    if (p.layout.chartsTwoUp) {
        const double half = (p.w - gap) / 2;
        Rect left{p.x0, p.y, half, h}, right{p.x0 + half + gap, p.y, half, h};
        if (inSight(left)) {
            chartCard(p, 0, left);
            chartCard(p, 1, right);
        }
        p.y += h + gap;
        Rect below{p.x0, p.y, half, h};
        if (inSight(below))
            chartCard(p, 2, below);
        p.y += h;
        return;
    }
    for (int32_t which = 0; which < 3; ++which) {
        Rect card{p.x0, p.y, p.w, h};
        if (inSight(card))
            chartCard(p, which, card);
        p.y += h + gap;
    }
    p.y -= gap;
}

void keepRangeOrdered(AppState& state)
{
    ReportPageState& page = reportPage(state);
    if (dateLess(page.to, page.from))
        page.to = page.from;
}

void openExport(AppState& state, bool pdf)
{
    std::string ext = pdf ? ".pdf" : ".xlsx";
    FileDialogPurpose purpose{pdf ? "Save the report as a PDF" : "Save the report as a spreadsheet", true,
        [pdf](AppState& s, const std::string& path) {
            exportReportFile(s, path, pdf ? reportFilePdf : reportFileSheet);
        }};
    openFileDialog(state, std::move(purpose), {ext}, "budget-report-" + formatIso(reportPage(state).from) + ext);
}

double exportButtonWidth(const Page& p, std::string_view label)
{
    return measureText(p.state, label, dp(*p.state.ui, 13), 600) + dp(*p.state.ui, 44);
}

void navigation(Page& p)
{
    AppState& s = p.state;
    ReportPageState& range = reportPage(s);
    const double h = rowHeight(*s.ui);
    double x = p.x0;
    double y = p.y;
    if (iconOnlyButton(s, "rp-prev", "chevron_left", {x, y, h, h}, {.tooltip = "Previous month"})) {
        Date d = addMonths(range.from, -1);
        setReportMonth(s, d.year, d.month);
    }
    x += h + dp(*p.state.ui, 4);
    std::string month = monthName(range.from.month) + " " + std::to_string(range.from.year);
    double mw = measureText(s, month, dp(*p.state.ui, 13.5), 600) + dp(*p.state.ui, 8);
    drawText(s, month, {x, y, mw, h}, dp(*p.state.ui, 13.5), p.slot(slotText), 0.5, 600);
    x += mw + dp(*p.state.ui, 4);
    if (iconOnlyButton(s, "rp-next", "chevron_right", {x, y, h, h}, {.tooltip = "Next month"})) {
        Date d = addMonths(range.from, 1);
        setReportMonth(s, d.year, d.month);
    }
    x += h + dp(*p.state.ui, 6);
    // A window too narrow for the month and Today on one line puts Today
    // under the arrows.
    if (x + dp(*p.state.ui, 70) > p.x0 + p.w) {
        x = p.x0;
        y += h + dp(*p.state.ui, 6);
        p.y = y;
    }
    if (button(s, "rp-today", "Today", {x, y, dp(*p.state.ui, 70), h}))
        setReportMonth(s, s.todayDate.year, s.todayDate.month);
    x += dp(*p.state.ui, 70);
    if (!p.compact) {
        // The range fields and the exports follow on the same line while it
        // has room; otherwise they move down a line each, so nothing overlaps.
        const double right = p.x0 + p.w, gap = dp(*p.state.ui, 14);
        const double datesW = dp(*p.state.ui, 40 + 170 + 8 + 24 + 170);
        const double xw = exportButtonWidth(p, "Export XLSX"), pw = exportButtonWidth(p, "Export PDF");
        const double exportsW = pw + dp(*p.state.ui, 8) + xw;
        double dy = y;
        if (x + gap + datesW + gap + exportsW > right) {
            dy += h + dp(*p.state.ui, 8);
            x = p.x0 - gap;
        }
        x += gap;
        drawText(s, "From", {x, dy, dp(*p.state.ui, 40), h}, dp(*p.state.ui, 12.5), p.slot(slotTextSecondary), 0, 500);
        x += dp(*p.state.ui, 40);
        dateField(s, "rp-from", range.from, {x, dy, dp(*p.state.ui, 170), h}, false);
        x += dp(*p.state.ui, 170) + dp(*p.state.ui, 8);
        drawText(s, "To", {x, dy, dp(*p.state.ui, 24), h}, dp(*p.state.ui, 12.5), p.slot(slotTextSecondary), 0, 500);
        x += dp(*p.state.ui, 24);
        dateField(s, "rp-to", range.to, {x, dy, dp(*p.state.ui, 170), h}, false);
        x += dp(*p.state.ui, 170);
        keepRangeOrdered(s);
        double ey = x + gap + exportsW > right ? dy + h + dp(*p.state.ui, 8) : dy;
        if (button(s, "rp-xlsx", "Export XLSX", {right - xw, ey, xw, h}, {.icon = "table"}))
            openExport(s, false);
        if (button(s, "rp-pdf", "Export PDF", {right - xw - dp(*p.state.ui, 8) - pw, ey, pw, h}, {.icon = "document"}))
            openExport(s, true);
        p.y = ey;
    }
    p.y += h;
    if (!p.compact)
        return;
    p.y += dp(*p.state.ui, 8);
    Rect from{p.x0, p.y, p.w, h}, to{p.x0, p.y + h + dp(*p.state.ui, 6), p.w, h};
    dateField(s, "rp-from", range.from, from, false);
    dateField(s, "rp-to", range.to, to, false);
    keepRangeOrdered(s);
    p.y = to.y + h + dp(*p.state.ui, 8);
    double half = p.w / 2 - dp(*p.state.ui, 4);
    if (button(s, "rp-pdf", "Export PDF", {p.x0, p.y, half, h}, {.icon = "document"}))
        openExport(s, true);
    if (button(s, "rp-xlsx", "Export XLSX", {p.x0 + p.w / 2 + dp(*p.state.ui, 4), p.y, half, h}, {.icon = "table"}))
        openExport(s, false);
    p.y += h;
}

}  // namespace

std::string reportAccountText(const ReportRowSource& row)
{
    if (row.transferTo().empty())
        return std::string(row.account());
    return std::string(row.account()) + " \u2192 " + std::string(row.transferTo());
}

ReportsPageLayout reportsPageLayout(double width, bool compact)
{
    ReportsPageLayout l;
    l.tileColumns = compact ? 2 : width > 900 ? 5 : 3;
    l.chartsTwoUp = !compact && width > 900;
    l.compactTables = compact || width < kWideTableMinWidth;
    return l;
}

void drawReportsPage(AppState& state, const Rect& rect)
{
    UiContext& ui = *state.ui;
    const Theme& theme = ui.theme;
    applyDefaultReportRange(state);
    refreshReportModel(state);
    const bool compact = state.compact;
    const double m = dp(*state.ui, compact ? 12 : 28);
    const double w = std::max(0.0, std::min(dp(*state.ui, 1180), rect.w - 2 * m));
    Rect view = beginScrollArea(ui, "reportspage", rect, colorTransparent, false);
    Page p{state, theme, view, 0, 0, 0, compact, reportsPageLayout(w / dp(*state.ui, 1), compact)};
    p.w = w;
    p.x0 = rect.x + (rect.w - w) / 2;
    p.y = layoutCursor(ui) + dp(*state.ui, compact ? 14 : 24);

    drawText(state, "Financial Reports", {p.x0, p.y, w, dp(ui, compact ? 30 : 36)}, dp(ui, compact ? 20 : 24),
        p.slot(slotText), 0, 700);
    p.y += dp(ui, compact ? 30 : 36) + dp(ui, compact ? 6 : 10);
    const ReportPageState& range = reportPage(state);
    const Date from = range.from, to = range.to;
    navigation(p);
    // The model follows in the next frame.
    if (!sameDate(from, range.from) || !sameDate(to, range.to))
        requestAppRedraw(state);
    p.y += dp(ui, 18);
    balanceSummary(p);
    p.y += dp(ui, 20);
    charts(p);
    p.y += dp(ui, 16);
    transactionDetails(p);
    p.y += dp(ui, 20);
    recurringTransactions(p);
    p.y += dp(ui, 40);
    setLayoutCursor(ui, p.y);
    extendLayout(ui, p.y);
    endScrollArea(ui, "reportspage");
}

}  // namespace qm
