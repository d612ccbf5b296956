// The program with the Account page's stand-in in place of the real one: its
// one button logs the presses and releases it gets (QUENMRK_STUB_LOG), so
// the shell tests can check where injected input lands.
#include "app/crash_handlers.h"
#include "app/main_loop.h"
#include "app/stand_in_pages.h"
#include "pages/page_entries.h"

#include <utility>

int main()
{
    return qm::runGuarded([] {
        qm::PageTable table;
        qm::fillPageTable(table);
        table.drawAccountPage = qm::standInPageTable().drawAccountPage;
        qm::setPageTable(std::move(table));
        return qm::appMain();
    });
}
