#pragma once
// The report charts' pure steps, for tests.
#include <string>
#include <vector>

#include "export/report_charts.h"

namespace qm {

// The chart less its label margins.
Rect chartPlotRect(const AppState& state, const Rect& chart);
// The days that get an x label: at most six, spread from first to last.
std::vector<size_t> balanceLabelDays(size_t count);
std::string balanceTooltip(Date day, double balance, double disposable);
std::string barTooltip(const std::string& name, const GroupTotal& total, bool byAccount);

}  // namespace qm
