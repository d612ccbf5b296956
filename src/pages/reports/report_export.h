#pragma once
// Saving the report to a file: the PDF or the workbook of the report model,
// written so that a failure leaves any earlier file as it was, and a toast
// that says what happened. Never raises.
#include <cstdint>
#include <string>

#include "app/page_table.h"

namespace qm {

// Kind reportFilePdf writes the PDF, any other the workbook. The model is
// brought up to the state's range first (nothing is worked out when it is
// current already).
ExportOutcome exportReportFile(AppState& state, const std::string& path, int32_t kind);

// Puts the Reports page, the file dialog and the report's export into the
// page table.
void fillReportPageTable(PageTable& table);

}  // namespace qm
