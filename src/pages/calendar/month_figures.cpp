#include "pages/calendar/month_figures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/app_text.h"
#include "app/navigation.h"
#include "app/popover.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "model/projection.h"
#include "pages/calendar/calendar_state.h"
#include "platform/render/primitives.h"
#include "ui/hit_test.h"
#include "ui/spacing.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

// Opening, current and closing balances read as a cushion: below this they
// take the warning colour.
constexpr double kWarnBelow = 2000;

int32_t monthIndex(Date first) { return first.year * 12 + first.month - 1; }

struct FigureRow {
    const char* label;
    double value;
    Color color;
};

}  // namespace

Date figuresPanelMonth(AppState& state)
{
    UiContext& ui = *state.ui;
    int32_t index = popupState(ui, widgetId(ui, "balancepanel"))->shownMonth;
    if (index <= 0)
        return firstOfMonth(state.shownMonth.year, state.shownMonth.month);
    return firstOfMonth(index / 12, index % 12 + 1);
}

FiguresChart figuresChart(const std::vector<BalancePoint>& points, const Rect& box, double inset)
{
    FiguresChart chart;
    if (points.size() < 2)
        return chart;
    bool any = false;
    for (const BalancePoint& p : points) {
        if (std::isnan(p.balance))
            continue;
        chart.lo = any ? std::min(chart.lo, p.balance) : p.balance;
        chart.hi = any ? std::max(chart.hi, p.balance) : p.balance;
        any = true;
    }
    if (!any)
        return chart;
    // A flat month still needs a range to divide by: it draws level.
    if (chart.hi - chart.lo < 1)
        chart.hi = chart.lo + 1;
    double w = box.w - 2 * inset, h = box.h - 2 * inset;
    double bottom = box.y + box.h - inset;
    auto yOf = [&](double balance) { return bottom - (balance - chart.lo) * h / (chart.hi - chart.lo); };
    size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        if (std::isnan(points[i].balance))
            continue;
        chart.line.push_back({box.x + inset + double(i) * w / double(n - 1), yOf(points[i].balance)});
    }
    if (chart.lo < 0 && 0 < chart.hi) {
        chart.zeroLine = true;
        chart.zeroY = yOf(0);
    }
    return chart;
}

const MonthFiguresCache& monthFigures(AppState& state, Date first, int64_t accountId)
{
    std::shared_ptr<MonthFiguresCache>& kept = calendarState(state).monthFigures;
    if (!kept)
        kept = std::make_shared<MonthFiguresCache>();
    MonthFiguresCache& c = *kept;
    const LocalStore& store = *state.store;
    if (c.budget != store.budget.get() || c.revision != store.change_count || c.first != first
        || c.accountId != accountId || c.today != state.todayDate) {
        const BudgetProjection& p = storeProjection(store);
        Date last = lastDayOfMonth(first);
        c.summary = balanceSummary(p, first, last, accountId, state.todayDate);
        c.points = balanceSeries(p, first, last, accountId);
        c.budget = store.budget.get();
        c.revision = store.change_count;
        c.first = first;
        c.accountId = accountId;
        c.today = state.todayDate;
    }
    return c;
}

void drawMonthFiguresPanel(AppState& state, const Rect& anchor)
{
    UiContext& ui = *state.ui;
    int64_t popup = widgetId(ui, "balancepanel");
    if (!isPopupOpen(ui, popup))
        return;
    const Theme& t = ui.theme;
    Renderer& r = *state.renderer;
    Date first = figuresPanelMonth(state);
    Date last = lastDayOfMonth(first);
    const MonthFiguresCache& figures = monthFigures(state, first, selectedAccountId(state));
    const BalanceSummary& s = figures.summary;

    double width = std::min(ui.viewWidth - dp(*state.ui, 16), dp(*state.ui, 360));
    double row = dp(*state.ui, 24);
    Rect panel = placePopover(state, anchor, width, 9 * row + dp(*state.ui, 44 + 22 + 120 + 16));
    int32_t layer = beginPopover(state, panel);
    double pad = dp(*state.ui, 14);
    double x = panel.x + pad, w = panel.w - 2 * pad, y = panel.y + dp(*state.ui, 10);

    double b = dp(*state.ui, 28);
    std::shared_ptr<PopupState> shown = popupState(ui, popup);
    if (iconOnlyButton(state, "bal-prev", "chevron_left", {x, y, b, b}, {.tooltip = "Previous month"})) {
        shown->shownMonth = monthIndex(addMonths(first, -1));
        state.redrawRequested = true;
    }
    if (iconOnlyButton(state, "bal-next", "chevron_right", {x + w - b, y, b, b}, {.tooltip = "Next month"})) {
        shown->shownMonth = monthIndex(addMonths(first, 1));
        state.redrawRequested = true;
    }
    drawText(state, monthName(first.month) + " " + std::to_string(first.year), {x + b, y, w - 2 * b, b},
        dp(*state.ui, 13), t.base[slotText], 0.5, 600);
    y += dp(*state.ui, 34);

    std::vector<FigureRow> rows;
    rows.push_back({"Opening Balance", s.opening, amountColor(state, s.opening, kWarnBelow)});
    if (s.hasCurrent)
        rows.push_back({"Current Balance", s.current, amountColor(state, s.current, kWarnBelow)});
    rows.push_back({"Closing Balance", s.closing, amountColor(state, s.closing, kWarnBelow)});
    rows.push_back({"Minimum Balance", s.lowest, t.base[slotDanger]});
    rows.push_back({"Average Daily Balance", s.average, t.base[slotText]});
    rows.push_back({"Maximum Balance", s.highest, t.base[slotSuccess]});
    rows.push_back({"Total Income", s.income, t.base[slotSuccess]});
    rows.push_back({"Total Expenses", s.expense, t.base[slotDanger]});
    rows.push_back({"Disposable Income", s.net, t.base[slotText]});
    for (const FigureRow& f : rows) {
        if (std::string_view(f.label) == "Total Income") {
            drawDivider(state, x, x + w, y + dp(*state.ui, 2), t.base[slotShadeStrong]);
            y += dp(*state.ui, 6);
        }
        Rect line{x, y, w, row};
        drawText(state, f.label, line, dp(*state.ui, 12), t.base[slotTextSecondary], 0, 400);
        drawText(state, formatMoney(f.value), line, dp(*state.ui, 12.5), f.color, 1, 500);
        y += row;
    }

    y += dp(*state.ui, 8);
    Rect box{x, y, w, dp(*state.ui, 110)};
    fillRoundRect(r, box, dp(*state.ui, 8), t.base[slotBackgroundDeep]);
    const std::vector<BalancePoint>& points = figures.points;
    FiguresChart chart = figuresChart(points, box, dp(*state.ui, 8));
    if (!chart.line.empty()) {
        double inset = dp(*state.ui, kSpaceBase);
        if (chart.zeroLine)
            drawDashedLine(r, box.x + inset, chart.zeroY, box.x + box.w - inset, chart.zeroY, dp(*state.ui, 1),
                withAlpha(t.base[slotDanger], 0.5), dp(*state.ui, 6), dp(*state.ui, 4));
        drawPolyline(r, chart.line, dp(*state.ui, 2), t.base[slotAccent], false);
        if (dateLessEq(first, state.todayDate) && dateLessEq(state.todayDate, last)) {
            size_t today = size_t(state.todayDate.day - 1);
            if (today < points.size() && !std::isnan(points[today].balance)) {
                double cx = box.x + inset + double(today) * (box.w - 2 * inset) / double(points.size() - 1);
                double cy = box.y + box.h - inset
                    - (points[today].balance - chart.lo) * (box.h - 2 * inset) / (chart.hi - chart.lo);
                fillCircle(r, cx, cy, dp(*state.ui, 3.5), t.base[slotAccent]);
            }
        }
    }
    endPopover(state, layer);
}

}  // namespace qm
