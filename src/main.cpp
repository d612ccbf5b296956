// The program: the shell with the pages and services that exist so far.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "app/placeholder_pages.h"
#include "net/net_pages.h"

int main()
{
    return qm::runGuarded([] {
        qm::PageTable table = qm::placeholderPageTable();
        qm::fillNetPageTable(table);
        qm::setPageTable(table);
        return qm::appMain();
    });
}
