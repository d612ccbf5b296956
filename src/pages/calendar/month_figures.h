#pragma once
// The month figures popover under the desktop balance button: one month's
// balances and flows under the account filter and a small chart of its
// end-of-day balance, stepping month by month. Which month it shows lives
// in its popup's state: 0 (as the balance button opens it) means the
// calendar's shown month.
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "model/ledger.h"

namespace qm {

// The figures of one month under one account filter, and what they were
// worked out from: a frame reuses them while all of it is unchanged.
struct MonthFiguresCache {
    const Budget* budget = nullptr;
    int32_t revision = -1;
    Date first;
    int64_t accountId = 0;
    Date today;
    BalanceSummary summary;
    std::vector<BalancePoint> points;
};
const MonthFiguresCache& monthFigures(AppState& state, Date first, int64_t accountId);

// Draws "balancepanel" while it is open.
void drawMonthFiguresPanel(AppState& state, const Rect& anchor);

// The first day of the month the panel shows now.
Date figuresPanelMonth(AppState& state);

// The chart's lines inside its box, in pixels: the balance line through
// every point, and the dashed zero line when the balance crosses zero.
struct FiguresChart {
    std::vector<std::pair<double, double>> line;  // empty with fewer than 2 points
    bool zeroLine = false;
    double zeroY = 0;
    double lo = 0;
    double hi = 0;
};
FiguresChart figuresChart(const std::vector<BalancePoint>& points, const Rect& box, double inset);

}  // namespace qm
