#include "net/net_services.h"

#include "net/device_budget.h"
#include "net/network.h"
#include "net/service_sync.h"
#include "net/updater.h"

#include <utility>

namespace qm {

void fillNetServiceTable(PageTable& table)
{
    table.initNetwork = initNetwork;
    table.pumpNetwork = pumpNetwork;
    table.initSyncSchedule = initSyncSchedule;
    table.mergeDeviceBudget = mergeDeviceBudget;
    table.removeDeviceBudget = removeDeviceBudget;
    table.pollUpdater = pollUpdater;
    table.autoCheckForUpdates = autoCheckForUpdates;
    table.runPendingInstaller = runPendingInstaller;
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
