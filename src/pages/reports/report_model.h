#pragma once
// The figures of one report: a date range and an account scope of the open
// budget, summed up for the reports page, its charts and the report files.
// Working them out expands every recurring transaction over the range, so
// the model is kept in the AppState and made again only when its key (the
// range, the scope and the store's change count) moves or another budget is
// opened; a frame that changes nothing only compares the key.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "model/ledger.h"
#include "model/reports.h"

namespace qm {

// The labelled figures of a report, in the order the page and the files
// show them. Current is shown only when the summary has one.
enum class ReportMetric : uint8_t {
    opening,
    current,
    closing,
    minimum,
    average,
    maximum,
    income,
    expenses,
    disposable,
};
inline constexpr size_t kReportMetricCount = 9;

// The metrics' labels in metric order, then the workbook's sheet names.
inline constexpr std::array<std::string_view, kReportMetricCount + 5> kReportLabels = {"Opening Balance",
    "Current Balance", "Closing Balance", "Minimum Balance", "Average Daily Balance", "Maximum Balance", "Total Income",
    "Total Expenses", "Disposable Income", "Summary", "Transactions", "Categories", "Accounts", "Recurring"};

struct ReportFigure {
    ReportMetric metric = ReportMetric::opening;
    std::string_view label;
    double value = 0;
};

// Eight figures, or nine when the summary has a current balance.
std::vector<ReportFigure> reportMetrics(const BalanceSummary& summary);

// The texts of a report's rows, copied out of the budget: one block of
// characters and, per source, its texts within it.
struct ReportRowTextBlock {
    std::string text;
    std::vector<ReportRowTexts> texts;
};

struct ReportModel {
    Date from;  // year 0: never computed
    Date to;
    std::string cacheKey;  // empty until the first computation
    BalanceSummary summary;
    std::vector<BalancePoint> dailyBalances;  // one a day of the range
    // Per point of dailyBalances: the net of the counted rows of its month
    // within the range.
    std::vector<double> monthlyDisposable;
    // Their sources' texts live in rowTexts, which copies of the model
    // share, so the rows hold whatever becomes of the budget.
    ReportRows rows;
    std::shared_ptr<const ReportRowTextBlock> rowTexts;
    GroupTotals categoryTotals;
    GroupTotals accountTotals;
    std::vector<RecurringRow> recurring;
    // How many times the figures were worked out.
    int64_t computations = 0;
    // The store they were worked out from.
    std::weak_ptr<const LocalStore> store;
};

// "2026-03-01|2026-03-31|0|17": the range, the account id (0 for all) and
// the store's change count.
std::string reportKeyText(Date from, Date to, int64_t accountId, int32_t changeCount);

// Works the figures out from the store's projection unless the key is the
// model's already; true when it did.
bool refreshReportModel(ReportModel& model, const LocalStore& store, Date from, Date to, int64_t accountId, Date today);

// What the reports page keeps between frames: its range and its model.
struct ReportPageState {
    Date from;
    Date to;
    // The model's computations when last brought up to date; opening a
    // budget clears it so the next frame works the figures out again.
    int64_t cacheKey = 0;
    ReportModel model;
};

// The page's record, made on first use.
ReportPageState& reportPage(AppState& state);
// The state's model, made empty on first use.
ReportModel& reportModel(AppState& state);
// Brings the state's model up to the page's range, the
// selected account and the open store; asks for a redraw when it changed.
void refreshReportModel(AppState& state);
// The range becomes the whole month.
void setReportMonth(AppState& state, int32_t year, int32_t month);
// A range never set becomes the month the calendar shows.
void applyDefaultReportRange(AppState& state);

}  // namespace qm
