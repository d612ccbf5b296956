#pragma once
// The calendar and editing pages' entries of the shell's page table: the
// program calls this once at start, after the stand-ins are in place.
#include "app/page_table.h"

namespace qm {

void fillCalendarPageTable(PageTable& table);

}  // namespace qm
