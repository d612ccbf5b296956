#include "net/net_pages.h"

#include "export/calendar_export.h"
#include "net/account_page.h"
#include "net/account_photo.h"
#include "net/device_budget.h"
#include "net/network.h"
#include "net/sync.h"
#include "net/terms.h"
#include "net/update_dialog.h"
#include "net/updater.h"
#include "net/welcome_page.h"

#include <utility>

namespace qm {

void fillNetPageTable(PageTable& table)
{
    table.initNetwork = initNetwork;
    table.pumpNetwork = pumpNetwork;
    table.initSyncSchedule = initSyncSchedule;
    table.mergeDeviceBudget = mergeDeviceBudget;
    table.removeDeviceBudget = removeDeviceBudget;
    table.drawWelcomePage = drawWelcomePage;
    table.drawAccountPage = drawAccountPage;
    table.handleAccountPhoto = handleAccountPhoto;
    table.exportCalendarFile = exportCalendarFile;
    table.pollUpdater = pollUpdater;
    table.autoCheckForUpdates = autoCheckForUpdates;
    table.drawUpdateDialog = drawUpdateDialog;
    table.runPendingInstaller = runPendingInstaller;
    table.decideLegalPage = decideLegalPage;
    table.drawLegalPage = drawLegalPage;
    table.stopWorkers = [next = std::move(table.stopWorkers)](AppState& state) {
        stopNetworkWorker(state);
        stopUpdater(state);
        if (next)
            next(state);
    };
    table.joinWorkers = [next = std::move(table.joinWorkers)](AppState& state) {
        joinNetworkWorker(state);
        joinUpdater(state);
        if (next)
            next(state);
    };
}

}  // namespace qm
