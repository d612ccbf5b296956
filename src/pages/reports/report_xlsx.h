#pragma once
// The report as a workbook of five sheets: Summary, Transactions,
// Categories, Accounts and Recurring. Dates are ISO texts and amounts are
// money cells, red or green as the PDF colours them.
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "formats/xlsx.h"
#include "pages/reports/report_model.h"

namespace qm {

inline constexpr const char* kSheetRed = "FFBD3838";
inline constexpr const char* kSheetGreen = "FF21763C";

std::vector<XlsxSheet> reportSheets(const ReportModel& model, std::string_view accountLabel);
std::vector<uint8_t> buildXlsxReport(const ReportModel& model, std::string_view accountLabel);

// The state's model as last computed, with its selected account.
std::vector<uint8_t> buildXlsxReport(AppState& state);

}  // namespace qm
