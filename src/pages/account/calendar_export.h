#pragma once
// Saving the calendar file the Account page offers: the occurrences around
// today's month, written whole in place of any file at the path.
#include <string>

#include "app/page_table.h"

namespace qm {

// Never raises: a failure is a toast and the outcome's reason.
ExportOutcome exportCalendarFile(AppState& state, const std::string& path);

}  // namespace qm
