#include "pages/service_pages.h"

#include "net/net_services.h"
#include "pages/account/account_page.h"
#include "pages/account/account_photo.h"
#include "pages/account/calendar_export.h"
#include "pages/updates/update_dialog.h"
#include "pages/welcome/terms.h"
#include "pages/welcome/welcome_page.h"

namespace qm {

void fillServicePageTable(PageTable& table)
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
