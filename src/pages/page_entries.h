#pragma once
// The pages' entries of the shell's page table. The program fills the whole
// table once at start; tests and benchmarks fill only the pages they drive.
#include "app/page_table.h"

namespace qm {

// Every page, dialog and service the program has.
void fillPageTable(PageTable& table);
// The calendar, search and editing pages, the header bar, the tour and the
// renaming of the pages' ids after a sync.
void fillCalendarPageTable(PageTable& table);

}  // namespace qm
