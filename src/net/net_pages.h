#pragma once
// What the network area puts into the shell's page table: the worker's
// start, pump, stop and join, the welcome page, the sync schedule and the
// device budget's merge and removal; the updater with its dialog, and the
// terms page.
#include "app/page_table.h"

namespace qm {

// Entries already in the table for stopping and joining workers are kept and
// run after the network's own.
void fillNetPageTable(PageTable& table);

}  // namespace qm
