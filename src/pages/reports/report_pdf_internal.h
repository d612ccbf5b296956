#pragma once
// The report's pages before they are written, for tests that look at what
// was drawn where.
#include "pages/reports/report_pdf.h"

namespace qm {

PdfDocumentRef layoutPdfReport(const ReportModel& model, std::string_view accountLabel, const FontSet& fonts);

}  // namespace qm
