#include "net/net_pages.h"

#include "export/calendar_export.h"
#include "net/account_page.h"
#include "net/account_photo.h"
#include "net/net_services.h"
#include "net/terms.h"
#include "net/update_dialog.h"
#include "net/welcome_page.h"

namespace qm {

void fillNetPageTable(PageTable& table)
{
    fillNetServiceTable(table);
    table.drawWelcomePage = drawWelcomePage;
    table.drawAccountPage = drawAccountPage;
    table.handleAccountPhoto = handleAccountPhoto;
    table.exportCalendarFile = exportCalendarFile;
    table.drawUpdateDialog = drawUpdateDialog;
    table.decideLegalPage = decideLegalPage;
    table.drawLegalPage = drawLegalPage;
}

}  // namespace qm
