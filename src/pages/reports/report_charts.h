#pragma once
// The Reports page's charts, drawn afresh from the report model each frame:
// the section card around each, the value axis with its grid and money
// labels, the daily balance line over the months' disposable income, and
// income and expense bars by category or by account (with a net line).
#include <optional>
#include <string_view>

#include "app/app_state.h"
#include "pages/reports/report_model.h"

namespace qm {

// A value v sits at y = baseY - v * pixelsPerUnit.
struct AxisScale {
    double baseY = 0;
    double pixelsPerUnit = 1;
};

// A round step giving about four grid intervals over the range; 1 for a
// range that is not a positive finite number.
double niceAxisStep(double range);

// The card with its title; the chart goes inside it less 8 on the sides
// and below and 40 above.
void drawReportSection(AppState& state, std::string_view title, const Rect& card, const Theme& theme);

// Grid lines and money labels from min to max in the plot; none when the
// bounds are not finite.
std::optional<AxisScale> drawChartAxis(
    AppState& state, const Rect& plot, double minValue, double maxValue, const Theme& theme);

// The model's daily balances and monthly disposable income.
void drawBalanceChart(AppState& state, const ReportModel& model, const Rect& chart, const Theme& theme);

// byAccount adds the net of each group as a line.
void drawIncomeExpenseBars(
    AppState& state, const GroupTotals& totals, bool byAccount, const Rect& chart, const Theme& theme);

}  // namespace qm
