#pragma once
// What the service client puts into the shell's page table: the worker's
// start, pump, stop and join, the sync schedule, the device budget's merge
// and removal, and the updater's checks and pending installer.
#include "app/page_table.h"

namespace qm {

// Entries already in the table for stopping and joining workers are kept and
// run after the network's own.
void fillNetServiceTable(PageTable& table);

}  // namespace qm
