#include "pages/reports/report_export.h"

#include <exception>
#include <utility>

#include "app/budget_io.h"
#include "app/file_dialog.h"
#include "core/files.h"
#include "pages/reports/report_model.h"
#include "pages/reports/report_pdf.h"
#include "pages/reports/report_xlsx.h"
#include "pages/reports/reports_page.h"

namespace qm {

ExportOutcome exportReportFile(AppState& state, const std::string& path, int32_t kind)
{
    ExportOutcome outcome;
    try {
        applyDefaultReportRange(state);
        refreshReportModel(state);
        std::string bytes;
        if (kind == reportFilePdf) {
            bytes = buildPdfReport(state);
        } else {
            std::vector<uint8_t> sheet = buildXlsxReport(state);
            bytes.assign(sheet.begin(), sheet.end());
        }
        AtomicWriteOptions options;
        options.keepSymlink = true;
        writeFileAtomic(path, bytes, options);
    } catch (const std::exception& e) {
        outcome.reason = e.what();
        showError(state, "Could not save the report: " + outcome.reason);
        return outcome;
    }
    outcome.written = true;
    showSuccess(state, "Saved " + path.substr(path.rfind('/') + 1));
    return outcome;
}

void fillReportPageTable(PageTable& table)
{
    table.exportReportFile = exportReportFile;
    table.setReportRange = [](AppState& state, Date from, Date to) {
        ReportPageState& page = reportPage(state);
        page.from = from;
        page.to = to;
    };
    table.budgetOpened = [](AppState& state) {
        if (state.reports)
            state.reports->cacheKey = 0;
    };
    table.drawReportsPage = drawReportsPage;
    table.drawFileDialog = drawFileDialog;
}

}  // namespace qm
