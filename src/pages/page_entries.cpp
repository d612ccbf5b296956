#include "pages/page_entries.h"

#include "pages/calendar/calendar_page.h"
#include "pages/editing/editing.h"
#include "pages/editing/txform.h"
#include "pages/header_bar.h"
#include "pages/help/help_page.h"
#include "pages/import/import_page.h"
#include "pages/remap_ids.h"
#include "pages/reports/report_export.h"
#include "pages/search/search_page.h"
#include "pages/service_pages.h"
#include "pages/tour.h"

namespace qm {

void fillPageTable(PageTable& table)
{
    fillCalendarPageTable(table);
    fillHelpPageTable(table);
    fillReportPageTable(table);
    fillImportPageTable(table);
    fillServicePageTable(table);
}

void fillCalendarPageTable(PageTable& table)
{
    table.drawHeaderBar = drawHeaderBar;
    table.drawCalendarPage = drawCalendarPage;
    table.drawSearchPage = drawSearchPage;
    table.drawTour = drawTour;
    table.drawTransactionForm = drawTransactionForm;
    table.drawDialogs = drawDialogs;
    table.runConfirmedAction = runConfirmedAction;
    table.remapPageIds = remapPageIds;
    table.openAddTransaction = [](AppState& state, int32_t kind, Date day) { openAddTransaction(state, kind, day); };
    table.openManageCategories = openManageCategories;
    table.openManageAccounts = openManageAccounts;
    table.openSetRunningBalance = [](AppState& state, Date day) {
        openSetRunningBalance(state, day.year, day.month, day.day);
    };
}

}  // namespace qm
