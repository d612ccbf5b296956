#include "pages/reports/report_charts.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/app_text.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "pages/reports/report_charts_internal.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/tooltip.h"

namespace qm {

namespace {

// Beyond this many grid intervals the bounds are nonsense, not a budget.
constexpr double kMaxIntervals = 1000;

// What one chart call works with.
struct ChartState {
    Rect plot;
    size_t points = 0;
    AxisScale axis;
    double legendY = 0;
    const Theme* theme = nullptr;
};

// The theme's first derived colour is the page background, which would hide
// the labels; they take the tertiary text colour instead.
Color labelColor(const Theme& t) { return t.base[slotTextTertiary]; }

// Text on a baseline in the regular UI face.
double uiTextAt(AppState& state, std::string_view text, double x, double baseline, double size, Color color)
{
    return drawTextAtIn(state, atlasForWeight(state, 400), text, x, baseline, size, color);
}

void drawLegendItem(AppState& state, Color color, std::string_view label, double& x, const ChartState& c)
{
    Renderer& r = *state.renderer;
    double y = c.legendY;
    fillRoundRect(
        r, {x, y - dp(*state.ui, 9), dp(*state.ui, 10), dp(*state.ui, 10)}, dp(*state.ui, 2), withAlpha(color, 0.7));
    double size = dp(*state.ui, 10.5);
    uiTextAt(state, label, x + dp(*state.ui, 14), y, size, labelColor(*c.theme));
    x += dp(*state.ui, 14) + measureText(state, label, size, 400) + dp(*state.ui, 16);
}

void emptyChartText(AppState& state, std::string_view text, const Rect& plot, const Theme& t)
{
    drawText(state, text, plot, dp(*state.ui, 12), t.base[slotTextTertiary], 0.5, 400);
}

bool finite(double v) { return std::isfinite(v); }

// The axis over lo..hi (at least one unit tall) into the chart's state; false
// when there is none to draw on.
bool chartAxis(AppState& state, ChartState& c, double lo, double hi)
{
    std::optional<AxisScale> axis = drawChartAxis(state, c.plot, lo, hi - lo < 1 ? lo + 1 : hi, *c.theme);
    if (axis)
        c.axis = *axis;
    return axis.has_value();
}

}  // namespace

double niceAxisStep(double range)
{
    if (!(range > 0) || !std::isfinite(range))
        return 1;
    double q = range * 0.25;
    double p = std::pow(10.0, std::floor(std::log10(q)));
    double f = q / p;
    if (f < 1.5)
        return p;
    if (f < 3.5)
        return p * 2;
    if (f < 7.5)
        return p * 5;
    return p * 10;
}

Rect chartPlotRect(const AppState& state, const Rect& chart)
{
    return {chart.x + dp(*state.ui, 56), chart.y + dp(*state.ui, 10), chart.w - dp(*state.ui, 70),
        chart.h - dp(*state.ui, 58)};
}

std::vector<size_t> balanceLabelDays(size_t count)
{
    std::vector<size_t> days;
    if (count < 2)
        return days;
    size_t m = std::min<size_t>(count, 6);
    for (size_t k = 0; k < m; ++k)
        days.push_back(size_t(std::lround(double(count - 1) * double(k) / double(m - 1))));
    return days;
}

std::vector<size_t> keptChartPoints(
    const std::vector<double>& xs, const std::vector<double>& ys, const std::vector<uint8_t>& kinds, double tolerance)
{
    const size_t n = std::min(xs.size(), ys.size());
    std::vector<size_t> kept;
    if (n == 0)
        return kept;
    auto kindAt = [&](size_t i) { return i < kinds.size() ? kinds[i] : uint8_t(0); };
    // Both ends of a segment between kinds stay, and so does every point
    // that is not a number.
    auto pinned = [&](size_t i) {
        return i == 0 || i + 1 == n || kindAt(i) != kindAt(i - 1) || kindAt(i) != kindAt(i + 1) || !finite(ys[i])
            || !finite(ys[i - 1]) || !finite(ys[i + 1]);
    };
    kept.push_back(0);
    size_t a = 0;
    // The slopes from a that pass within the tolerance of every point since.
    double lo = -INFINITY, hi = INFINITY;
    for (size_t j = 1; j < n; ++j) {
        double dx = xs[j] - xs[a];
        double slope = (ys[j] - ys[a]) / dx;
        if (j - 1 != a && (!(dx > 0) || !(slope >= lo && slope <= hi))) {
            // j cannot be reached in one line: the previous point ends it.
            kept.push_back(j - 1);
            a = j - 1;
            lo = -INFINITY;
            hi = INFINITY;
            dx = xs[j] - xs[a];
        }
        if (pinned(j)) {
            kept.push_back(j);
            a = j;
            lo = -INFINITY;
            hi = INFINITY;
            continue;
        }
        lo = std::max(lo, (ys[j] - tolerance - ys[a]) / dx);
        hi = std::min(hi, (ys[j] + tolerance - ys[a]) / dx);
    }
    return kept;
}

std::string balanceTooltip(Date day, double balance, double disposable)
{
    return longDate(day) + "\nBalance: " + formatMoney(balance)
        + "\nMonthly disposable income: " + formatMoney(disposable);
}

std::string barTooltip(const std::string& name, const GroupTotal& total, bool byAccount)
{
    std::string text = name;
    text += "\nIncome: ";
    text += formatMoney(total.income);
    text += "\nExpenses: ";
    text += formatMoney(total.expense);
    if (byAccount) {
        text += "\nNet: ";
        text += formatMoney(total.income - total.expense);
    }
    text += '\n';
    text += std::to_string(total.count);
    text += total.count == 1 ? " transaction" : " transactions";
    return text;
}

void drawReportSection(AppState& state, std::string_view title, const Rect& card, const Theme& theme)
{
    Renderer& r = *state.renderer;
    double radius = dp(*state.ui, 14);
    fillRoundRect(r, card, radius, theme.base[slotSurface]);
    strokeRoundRect(r, card, radius, 1, theme.base[slotShadeStrong]);
    drawText(state, title, {card.x + dp(*state.ui, 16), card.y + dp(*state.ui, 8), card.w, dp(*state.ui, 28)},
        dp(*state.ui, 15), theme.base[slotText], 0, 700);
}

std::optional<AxisScale> drawChartAxis(
    AppState& state, const Rect& plot, double minValue, double maxValue, const Theme& theme)
{
    if (!finite(minValue) || !finite(maxValue))
        return std::nullopt;
    double step = niceAxisStep(maxValue - minValue);
    double low = std::floor(minValue / step) * step;
    double high = std::ceil(maxValue / step) * step;
    double span = high - low;
    double intervals = span / step + 0.5;
    if (!finite(span) || !(intervals < kMaxIntervals))
        return std::nullopt;
    int32_t n = int32_t(intervals);
    double ppu = plot.h / (span > 1 ? span : 1.0);
    Renderer& r = *state.renderer;
    Color grid = withOverlayAlpha(theme, theme.overlayTint);
    Color zero = withAlpha(labelColor(theme), 0.5);
    double size = dp(*state.ui, 10);
    for (int32_t k = 0; k <= n; ++k) {
        double v = low + k * step;
        double y = plot.y + plot.h - (v - low) * ppu;
        fillRect(r, {plot.x, y, plot.w, 1}, std::fabs(v) < 0.001 ? zero : grid);
        std::string label = formatMoneyCompact(v);
        double w = measureTextWith(state, label, size, 0);
        drawTextAt(state, label, plot.x - dp(*state.ui, 6) - w, y + dp(*state.ui, 3.5), size, labelColor(theme), 0);
    }
    return AxisScale{plot.y + plot.h + low * ppu, ppu};
}

void drawBalanceChart(AppState& state, const ReportModel& model, const Rect& chart, const Theme& theme)
{
    ChartState c;
    c.plot = chartPlotRect(state, chart);
    c.theme = &theme;
    c.points = model.dailyBalances.size();
    const Rect& plot = c.plot;
    const size_t n = c.points;
    if (n <= 1) {
        emptyChartText(state, "No days in this range", plot, theme);
        return;
    }
    auto disposableAt = [&](size_t i) { return i < model.monthlyDisposable.size() ? model.monthlyDisposable[i] : 0.0; };
    double lo = INFINITY, hi = -INFINITY;
    for (size_t i = 0; i < n; ++i) {
        for (double v : {model.dailyBalances[i].balance, disposableAt(i)}) {
            if (std::isnan(v))
                continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (!chartAxis(state, c, lo, hi))
        return;
    Renderer& r = *state.renderer;
    const double dx = plot.w / double(n - 1);
    auto xAt = [&](size_t i) { return plot.x + double(i) * dx; };
    auto yAt = [&](double v) { return c.axis.baseY - v * c.axis.pixelsPerUnit; };

    const double labelSize = dp(*state.ui, 10);
    for (size_t i : balanceLabelDays(n)) {
        Date d = model.dailyBalances[i].date;
        std::string text = shortMonthName(d.month) + " " + std::to_string(d.day);
        double w = measureText(state, text, labelSize, 400);
        double x = std::clamp(xAt(i) - w / 2, plot.x, std::max(plot.x, plot.x + plot.w - w));
        uiTextAt(state, text, x, plot.y + plot.h + dp(*state.ui, 16), labelSize, labelColor(theme));
    }

    // Days whose points lie within half a pixel of a straight line are
    // drawn as that line: it looks the same and a long range costs far less.
    const double tolerance = 0.5;
    std::vector<double> xs(n), ys(n);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = xAt(i);
        ys[i] = yAt(disposableAt(i));
    }
    std::vector<std::pair<double, double>> line;
    for (size_t i : keptChartPoints(xs, ys, {}, tolerance))
        line.emplace_back(xs[i], ys[i]);
    drawPolyline(r, line, dp(*state.ui, 1.5), withAlpha(theme.base[slotSuccess], 0.8), false);

    // A segment is red when either end is below zero, so the points where
    // the sign changes are kept as they are.
    std::vector<uint8_t> kinds(n);
    for (size_t i = 0; i < n; ++i) {
        const double b = model.dailyBalances[i].balance;
        ys[i] = yAt(b);
        kinds[i] = std::isnan(b) ? 2 : b < 0 ? 1 : 0;
    }
    const double zeroY = c.axis.baseY;
    std::vector<std::pair<double, double>> quad(4);
    const std::vector<size_t> kept = keptChartPoints(xs, ys, kinds, tolerance);
    for (size_t k = 1; k < kept.size(); ++k) {
        const size_t i0 = kept[k - 1], i1 = kept[k];
        const bool negative = model.dailyBalances[i0].balance < 0 || model.dailyBalances[i1].balance < 0;
        const Color color = negative ? theme.base[slotDanger] : theme.base[slotAccent];
        quad[0] = {xs[i0], ys[i0]};
        quad[1] = {xs[i1], ys[i1]};
        quad[2] = {xs[i1], zeroY};
        quad[3] = {xs[i0], zeroY};
        fillConvexPolygon(r, quad, withAlpha(color, 0.08));
        drawLine(r, xs[i0], ys[i0], xs[i1], ys[i1], dp(*state.ui, 2), color);
    }

    for (size_t i = 0; i < n; ++i) {
        if (sameDate(model.dailyBalances[i].date, state.todayDate)) {
            drawDashedLine(r, xAt(i), plot.y, xAt(i), plot.y + plot.h, 1, theme.base[slotTextTertiary],
                dp(*state.ui, 6), dp(*state.ui, 4));
            break;
        }
    }

    UiContext& ui = *state.ui;
    if (mouseIn(ui, plot)) {
        double at = std::round(double(n - 1) * (ui.pointerX - plot.x) / plot.w);
        size_t i = size_t(std::clamp(at, 0.0, double(n - 1)));
        double b = model.dailyBalances[i].balance;
        fillCircle(r, xAt(i), yAt(b), dp(*state.ui, 4), b < 0 ? theme.base[slotDanger] : theme.base[slotAccent]);
        tooltip(ui, balanceTooltip(model.dailyBalances[i].date, b, disposableAt(i)),
            {ui.pointerX - 1, ui.pointerY - 1, 2, 2});
    }

    c.legendY = chart.y + chart.h - dp(*state.ui, 6);
    double x = plot.x;
    const double legendSize = dp(*state.ui, 10.5);
    fillRect(r, {x, c.legendY - dp(*state.ui, 4), dp(*state.ui, 14), dp(*state.ui, 3)}, theme.base[slotAccent]);
    uiTextAt(state, "Balance", x + dp(*state.ui, 18), c.legendY, legendSize, labelColor(theme));
    x += dp(*state.ui, 18) + measureText(state, "Balance", legendSize, 400) + dp(*state.ui, 16);
    fillRect(r, {x, c.legendY - dp(*state.ui, 4), dp(*state.ui, 14), dp(*state.ui, 2)}, theme.base[slotSuccess]);
    uiTextAt(state, "Monthly disposable income", x + dp(*state.ui, 18), c.legendY, legendSize, labelColor(theme));
}

void drawIncomeExpenseBars(
    AppState& state, const GroupTotals& totals, bool byAccount, const Rect& chart, const Theme& theme)
{
    ChartState c;
    c.plot = chartPlotRect(state, chart);
    c.theme = &theme;
    c.points = totals.size();
    const Rect& plot = c.plot;
    if (totals.empty()) {
        emptyChartText(state, "Nothing in this range", plot, theme);
        return;
    }
    double lo = 0, hi = 0;
    for (const auto& [name, t] : totals) {
        hi = std::max({hi, t.income, t.expense});
        if (byAccount) {
            double net = t.income - t.expense;
            lo = std::min(lo, net);
            hi = std::max(hi, net);
        }
    }
    if (!chartAxis(state, c, lo, hi))
        return;
    Renderer& r = *state.renderer;
    UiContext& ui = *state.ui;
    auto yAt = [&](double v) { return c.axis.baseY - v * c.axis.pixelsPerUnit; };
    const double s = plot.w / double(totals.size());
    const double b = std::clamp(0.32 * s, dp(*state.ui, 3), dp(*state.ui, 28));
    const double radius = dp(*state.ui, 2);
    const double labelSize = dp(*state.ui, 10);
    const Color income = theme.base[slotSuccess], expense = theme.base[slotDanger];
    std::vector<std::pair<double, double>> net;
    for (size_t j = 0; j < totals.size(); ++j) {
        const auto& [name, t] = totals[j];
        double centre = plot.x + (double(j) + 0.5) * s;
        Rect inBar{centre - b - 1, yAt(t.income), b, c.axis.baseY - yAt(t.income)};
        Rect exBar{centre + 1, yAt(t.expense), b, c.axis.baseY - yAt(t.expense)};
        if (inBar.h > 0)
            fillRoundRect(r, inBar, radius, withAlpha(income, 0.55));
        if (exBar.h > 0)
            fillRoundRect(r, exBar, radius, withAlpha(expense, 0.55));
        strokeRoundRect(r, inBar, radius, 1, income);
        strokeRoundRect(r, exBar, radius, 1, expense);
        if (byAccount)
            net.emplace_back(centre, yAt(t.income - t.expense));
        std::string label = elideText(state, name, s - dp(*state.ui, 4), labelSize, 400);
        double w = measureText(state, label, labelSize, 400);
        uiTextAt(state, label, centre - w / 2, plot.y + plot.h + dp(*state.ui, 16), labelSize, labelColor(theme));
        Rect slot{centre - s / 2, plot.y, s, plot.h};
        if (mouseIn(ui, slot))
            tooltip(ui, barTooltip(name, t, byAccount), slot);
    }
    if (net.size() >= 2) {
        drawPolyline(r, net, dp(*state.ui, 2), theme.base[slotAccent], false);
        for (const auto& [x, y] : net)
            fillCircle(r, x, y, dp(*state.ui, 3), theme.base[slotAccent]);
    }
    c.legendY = chart.y + chart.h - dp(*state.ui, 6);
    double x = plot.x;
    drawLegendItem(state, income, "Income", x, c);
    drawLegendItem(state, expense, "Expenses", x, c);
    if (byAccount)
        drawLegendItem(state, theme.base[slotAccent], "Net", x, c);
}

}  // namespace qm
