// The program: the shell with the pages and services that exist so far.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "app/placeholder_pages.h"
#include "docs/help_page.h"
#include "export/report_export.h"

int main()
{
    return qm::runGuarded([] {
        qm::setPageTable(qm::placeholderPageTable());
        qm::fillHelpPageTable();
        qm::fillReportPageTable();
        return qm::appMain();
    });
}
