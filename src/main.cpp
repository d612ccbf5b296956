// The program: the shell with the pages and services that exist so far.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "app/placeholder_pages.h"
#include "pages/page_entries.h"

int main()
{
    return qm::runGuarded([] {
        qm::PageTable table = qm::placeholderPageTable();
        qm::fillCalendarPageTable(table);
        qm::setPageTable(std::move(table));
        return qm::appMain();
    });
}
