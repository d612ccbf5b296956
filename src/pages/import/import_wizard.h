#pragma once
// The statement import between choosing a file and committing it: the rows
// the user reviews, the counts taken at load, the review filter and which
// row's details are open. Loading never raises: whatever goes wrong is a
// message the first step shows.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "formats/ofx/ofx_import.h"
#include "pages/import/import_detect.h"

namespace qm {

enum ImportWizardStep : int32_t {
    importChooseFile = 0,
    importReview = 1,
    importComplete = 2,
};

// A statement being read, parsed and matched on a thread of its own.
struct ImportLoad;

struct ImportWizardState {
    int32_t importStep = importChooseFile;
    std::vector<ImportRow> importRows;
    std::string importFileName;
    ImportCounts importCounts;  // taken at load; edits leave them
    std::string importFilter;   // "", a status text or "recurring"
    int32_t importEditRow = -1;
    std::string importError;
    std::string importSummary;
    // The statement being read, while one is: a new file, a restart and
    // leaving the page drop it.
    std::shared_ptr<ImportLoad> importLoad;
    // Dropped loads whose threads have not yet noticed it.
    std::vector<std::shared_ptr<ImportLoad>> importDropped;

    ImportWizardState() = default;
    ImportWizardState(const ImportWizardState&) = delete;
    ImportWizardState& operator=(const ImportWizardState&) = delete;
    // Stops and waits for the threads of loads still running.
    ~ImportWizardState();
};

// The state's wizard, made on first use.
ImportWizardState& importWizardState(AppState& state);

// A statement is read only from a regular file (after links) of at most
// this size, so a FIFO or a device never blocks the window.
inline constexpr int64_t kMaxImportFileBytes = int64_t(64) << 20;

// Starts reading the statement: a thread reads, parses and checks it and
// marks its duplicates, while the frames copy the little of the budget that
// matching needs (pollImportLoad), so that no frame waits for the file.
// Once read, the wizard moves to review. A file it cannot read or that holds
// no transactions leaves the wizard as it was, with importError saying why.
// A load still running is dropped.
void loadImportFile(AppState& state, const std::string& path);
// The file dialog's purpose that loads the chosen statement and shows the
// Import page.
FileDialogPurpose statementImport();

// The file name of the statement being read; empty when none is.
std::string importLoadingName(const ImportWizardState& w);

// Moves the load on by one frame's share and takes its result when it is
// ready. Called by every frame that draws the Import page: a load that
// missed a frame was left behind with the page and is dropped.
void pollImportLoad(AppState& state);

// Drops the load, if any: its result is never shown.
void dropImportLoad(ImportWizardState& w);

// Polls until the load is over; for tools and tests without a window.
void finishImportLoad(AppState& state);

// The account a row without one gets: the user's default account when it
// names one, else the first in display order, else none.
std::string defaultImportAccount(const Budget& budget);

bool importRowVisible(const ImportRow& row, std::string_view filter);

// Back to the first step with no rows, as "Import Another File" does.
void restartImportWizard(AppState& state);

// For the account page's "Import a file": the last error goes, a finished
// wizard starts over; gives the name of the file still under review, empty
// when none is.
std::string restartFinishedImport(AppState& state);

}  // namespace qm
