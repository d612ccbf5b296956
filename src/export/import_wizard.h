#pragma once
// The statement import between choosing a file and committing it: the rows
// the user reviews, the counts taken at load, the review filter and which
// row's details are open. Loading never raises: whatever goes wrong is a
// message the first step shows.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "export/import_detect.h"
#include "export/ofx_import.h"

namespace qm {

enum ImportWizardStep : int32_t {
    importChooseFile = 0,
    importReview = 1,
    importComplete = 2,
};

struct ImportWizardState {
    int32_t importStep = importChooseFile;
    std::vector<ImportRow> importRows;
    std::string importFileName;
    ImportCounts importCounts;  // taken at load; edits leave them
    std::string importFilter;   // "", a status text or "recurring"
    int32_t importEditRow = -1;
    std::string importError;
    std::string importSummary;
};

// The state's wizard, made on first use.
ImportWizardState& importWizardState(AppState& state);

// A statement is read only from a regular file (after links) of at most
// this size, so a FIFO or a device never blocks the window.
inline constexpr int64_t kMaxImportFileBytes = int64_t(64) << 20;

// Reads, parses and checks the statement and moves the wizard to review.
// A file it cannot read or that holds no transactions leaves the wizard as
// it was, with importError saying why.
void loadImportFile(AppState& state, const std::string& path);

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
