#pragma once
// Saving the plan of a date range as an OFX statement: the range fields and
// the button the account page's export card draws, and the export the file
// dialog's answer (or the headless export switch) runs.
#include <string>

#include "app/page_table.h"

namespace qm {

// Into the current layout. The range starts as this month and the three
// after it, and "To" never stays before "From".
void drawOfxExportSection(AppState& state);

// The range the section shows and the next export covers.
void setOfxRange(AppState& state, Date from, Date to);

// Writes the statement of the state's range to the path (an existing file
// is replaced whole, or left as it was on failure) and toasts the outcome.
// Never raises.
ExportOutcome exportOfxFile(AppState& state, const std::string& path);

// The current UTC time as yyyyMMddHHmmss.
std::string ofxServerTime();

}  // namespace qm
