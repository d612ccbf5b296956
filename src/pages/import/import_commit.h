#pragma once
// Turning the reviewed statement rows into budget transactions: one per
// chosen row, except that a series the user keeps as recurring becomes one
// recurring transaction from its first chosen line. Nothing reaches the
// budget before commitImport.
#include <cstdint>
#include <vector>

#include "app/app_state.h"
#include "formats/ofx/ofx_import.h"
#include "model/budget.h"

namespace qm {

struct ImportPlan {
    std::vector<Transaction> toAdd;  // in the order of their rows
    int32_t skipped = 0;             // rows not chosen
    int32_t merged = 0;              // chosen lines folded into an earlier line's series
};

// Pure: reads only the rows.
ImportPlan importRowsToTransactions(const std::vector<ImportRow>& rows);

// Adds the plan through the budget's edits, saves once (a failed save shows
// its toast and the commit goes on), writes the summary and shows the
// wizard's last step.
void commitImport(AppState& state);

}  // namespace qm
