#include "pages/account/calendar_export.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "core/files.h"
#include "formats/icalendar.h"

#include <exception>

namespace qm {

ExportOutcome exportCalendarFile(AppState& state, const std::string& path)
{
    ExportOutcome outcome;
    try {
        ExportWindow window = calendarExportWindow(state.todayDate);
        std::string text = writeICalendar(*state.store->budget, window.first, window.last, budgetOwnerLabel(state));
        AtomicWriteOptions options;
        options.keepSymlink = true;
        writeFileAtomic(path, text, options);
    } catch (const std::exception& e) {
        outcome.reason = e.what();
        showError(state, "Could not save the calendar: " + outcome.reason);
        return outcome;
    }
    outcome.written = true;
    showSuccess(state, "Saved " + path.substr(path.rfind('/') + 1));
    return outcome;
}

}  // namespace qm
