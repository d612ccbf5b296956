#pragma once
// The report charts' pure steps, for tests.
#include <cstdint>
#include <string>
#include <vector>

#include "pages/reports/report_charts.h"

namespace qm {

// The chart less its label margins.
Rect chartPlotRect(const AppState& state, const Rect& chart);
// The days that get an x label: at most six, spread from first to last.
std::vector<size_t> balanceLabelDays(size_t count);
// Which points of a line to draw: the ends, the ends of every segment
// between two kinds, and those that bend the line by more than the
// tolerance (pixels, measured vertically); the others lie on the drawn line.
std::vector<size_t> keptChartPoints(
    const std::vector<double>& xs, const std::vector<double>& ys, const std::vector<uint8_t>& kinds, double tolerance);
std::string balanceTooltip(Date day, double balance, double disposable);
std::string barTooltip(const std::string& name, const GroupTotal& total, bool byAccount);

}  // namespace qm
