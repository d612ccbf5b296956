#pragma once
// The report as a printable PDF on US Letter pages: title, balance tiles,
// the balance forecast and the category and account tables on the first
// page, then the transaction details (their header band repeated on every
// page) and the recurring transactions.
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "formats/pdf/pdf_serialize.h"
#include "pages/reports/report_model.h"

namespace qm {

inline constexpr double kReportPageWidthMm = 215.9;
inline constexpr double kReportPageHeightMm = 279.4;
inline constexpr double kReportMarginMm = 18.0;

// The three faces the report prints with, parsed from the built-in fonts,
// without the atlases a window needs: for reports made away from a window.
FontSet builtinReportFonts();

// Text prints in the sans regular and semibold faces, amounts in the mono
// face; the clock dates the file, so a fixed one gives identical bytes.
// Font failures (ValueError) reach the caller.
std::string buildPdfReport(
    const ReportModel& model, std::string_view accountLabel, const FontSet& fonts, const PdfClock& clock);

// The state's model as last computed, its selected account and fonts, now.
std::string buildPdfReport(AppState& state);

}  // namespace qm
