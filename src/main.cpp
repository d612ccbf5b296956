// The program: the shell over every page, dialog and service.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "pages/page_entries.h"

#include <utility>

int main()
{
    return qm::runGuarded([] {
        qm::PageTable table;
        qm::fillPageTable(table);
        qm::setPageTable(std::move(table));
        return qm::appMain();
    });
}
