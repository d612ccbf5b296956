#pragma once
// The pages that face the web service, with the service client's own
// entries: the welcome and terms pages, the Account page with its photo and
// calendar export, and the update dialog.
#include "app/page_table.h"

namespace qm {

// Fills the service client's entries too (see fillNetServiceTable).
void fillServicePageTable(PageTable& table);

}  // namespace qm
