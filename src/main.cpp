// The program: the shell with the pages and services that exist so far.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "app/placeholder_pages.h"
#include "pages/help/help_page.h"
#include "pages/import/import_page.h"
#include "pages/page_entries.h"
#include "pages/reports/report_export.h"
#include "pages/service_pages.h"

int main()
{
    return qm::runGuarded([] {
        // Each area fills its own entries; what none fills stays a stand-in.
        qm::PageTable table = qm::placeholderPageTable();
        qm::fillCalendarPageTable(table);
        qm::fillHelpPageTable(table);
        qm::fillReportPageTable(table);
        qm::fillImportPageTable(table);
        qm::fillNetPageTable(table);
        qm::setPageTable(std::move(table));
        return qm::appMain();
    });
}
