#include "pages/account/ofx_export_section.h"

#include <ctime>
#include <exception>

#include "app/budget_io.h"
#include "app/date_field.h"
#include "app/file_dialog.h"
#include "app/form_layout.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/files.h"
#include "formats/ofx/ofx_export.h"
#include "pages/account/account_page.h"
#include "ui/label.h"
#include "ui/layout.h"

namespace qm {

std::string ofxServerTime()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &utc);
    return buf;
}

void drawOfxExportSection(AppState& state)
{
    UiContext& ui = *state.ui;
    AccountPageState& page = accountPageState(state);
    if (page.ofxFrom.year == 0) {
        page.ofxFrom = firstOfMonth(state.todayDate.year, state.todayDate.month);
        Date later = addMonths(page.ofxFrom, 3);
        page.ofxTo = lastDayOfMonth(later.year, later.month);
    }
    wrappedLabel(ui,
        "Save your planned transactions as an OFX file for Quicken, Microsoft Money, YNAB and most financial "
        "software. Recurring transactions are expanded, one entry per occurrence in the range.",
        1, 0);
    addSpace(ui, dp(*state.ui, 10));
    std::vector<Rect> c = formColumns(state, 2, 0, 12, true);
    dateField(state, "ie-from", page.ofxFrom, labelledField(state, c[0], "From"), false);
    dateField(state, "ie-to", page.ofxTo, labelledField(state, c[1], "To"), false);
    if (dateLess(page.ofxTo, page.ofxFrom))
        page.ofxTo = page.ofxFrom;
    addSpace(ui, dp(*state.ui, 10));
    Rect row = nextLayoutRect(ui, rowHeight(ui), 0);
    Rect b{row.x, row.y, std::min(dp(*state.ui, 170), row.w), row.h};
    if (button(state, "ie-download", "Download OFX", b, {.style = buttonPrimary, .icon = "download"}))
        openFileDialog(state, {"Save the OFX export", true, exportOfxFile}, {".ofx"},
            "budget-" + formatIso(page.ofxFrom) + ".ofx");
}

void setOfxRange(AppState& state, Date from, Date to)
{
    AccountPageState& page = accountPageState(state);
    page.ofxFrom = from;
    page.ofxTo = to;
}

ExportOutcome exportOfxFile(AppState& state, const std::string& path)
{
    ExportOutcome outcome;
    try {
        const AccountPageState& page = accountPageState(state);
        std::string text = writeOfx(*state.store->budget, page.ofxFrom, page.ofxTo, ofxServerTime());
        AtomicWriteOptions options;
        options.keepSymlink = true;
        writeFileAtomic(path, text, options);
    } catch (const std::exception& e) {
        outcome.reason = e.what();
        showError(state, "Could not save the file: " + outcome.reason);
        return outcome;
    }
    outcome.written = true;
    showSuccess(state, "Saved " + path.substr(path.rfind('/') + 1));
    return outcome;
}

}  // namespace qm
