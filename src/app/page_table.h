#pragma once
// The pages, dialogs and services the frame calls but the shell may not
// link: the calendar and editing pages, help, reports and export, account,
// sync and updates. The program fills this table once at start (main.cpp)
// before it builds the state; an entry left empty does nothing and gives
// the neutral answer, so the shell runs before those subsystems exist.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "model/journal.h"
#include "model/store_sync.h"

namespace qm {

// What an export did: written is false with a reason when it wrote nothing.
struct ExportOutcome {
    bool written = false;
    std::string reason;
};

// Which report file exportReportFile writes.
enum ReportFileKind : int32_t {
    reportFileSheet = 0,
    reportFilePdf = 1,
};

struct PageTable {
    // Returns the content rectangle below the header bar.
    std::function<Rect(AppState&)> drawHeaderBar;
    std::function<void(AppState&, const Rect&)> drawCalendarPage;
    std::function<void(AppState&, const Rect&)> drawSearchPage;
    std::function<void(AppState&, const Rect&)> drawReportsPage;
    std::function<void(AppState&, const Rect&)> drawImportPage;
    std::function<void(AppState&, const Rect&)> drawHelpPage;
    std::function<void(AppState&, const Rect&)> drawAccountPage;
    std::function<void(AppState&, const Rect&)> drawWelcomePage;
    std::function<void(AppState&, const Rect&)> drawLegalPage;
    std::function<void(AppState&)> drawTour;
    std::function<void(AppState&)> drawTransactionForm;
    std::function<void(AppState&)> drawDialogs;
    std::function<void(AppState&)> runConfirmedAction;
    // Returns (and clears) a chosen path, empty when none this frame.
    std::function<std::string(AppState&)> drawFileDialog;
    // "quit" or "restart" end the program.
    std::function<std::string(AppState&)> drawUpdateDialog;

    std::function<void(AppState&, int32_t kind, Date date)> openAddTransaction;
    std::function<void(AppState&)> openManageCategories;
    std::function<void(AppState&)> openManageAccounts;
    std::function<void(AppState&, Date date)> openSetRunningBalance;

    // Reports a file it cannot read or use on the Import page; raises nothing.
    std::function<void(AppState&, const std::string& path)> loadImportFile;
    std::function<ExportOutcome(AppState&, const std::string& path, int32_t kind)> exportReportFile;
    // The range the next report export covers, as though picked on the page.
    std::function<void(AppState&, Date from, Date to)> setReportRange;
    std::function<ExportOutcome(AppState&, const std::string& path)> exportOfxFile;
    // The range the next OFX export covers, as though picked on the page.
    std::function<void(AppState&, Date from, Date to)> setOfxRange;
    std::function<ExportOutcome(AppState&, const std::string& path)> exportCalendarFile;

    // The budget made on this device before signing in: merged into the
    // account's (answers whether it was; a refusal toasts its reason), or
    // removed. Each reports with its own toast.
    std::function<bool(AppState&)> mergeDeviceBudget;
    std::function<void(AppState&)> removeDeviceBudget;

    // Another budget was opened: the pages drop what they worked out from
    // the one before.
    std::function<void(AppState&)> budgetOpened;

    // After a sync gave records made here the service's ids: renames what the
    // pages hold between frames, once per entity after the store was renamed.
    std::function<void(AppState&, Entity entity, const std::vector<IdPair>& mapping)> remapPageIds;

    std::function<void(AppState&)> initNetwork;
    std::function<void(AppState&)> initSyncSchedule;
    std::function<void(AppState&)> pumpNetwork;
    std::function<void(AppState&)> pollUpdater;
    std::function<void(AppState&)> decideLegalPage;
    std::function<void(AppState&)> autoCheckForUpdates;
    std::function<void(AppState&, const std::string& path)> handleAccountPhoto;
    // Tells the network and updater workers to stop; joinWorkers then waits
    // for them. Both run at shutdown before the state is released.
    std::function<void(AppState&)> stopWorkers;
    std::function<void(AppState&)> joinWorkers;
    std::function<void(AppState&)> runPendingInstaller;
};

// Replaces the whole table.
void setPageTable(PageTable table);
const PageTable& pageTable();

}  // namespace qm
