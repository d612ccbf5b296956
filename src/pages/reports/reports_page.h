#pragma once
// The Reports page: a month (or any range) of the open budget as balance
// tiles, the balance forecast and income and expense charts, the
// transaction details and the recurring transactions, with the PDF and
// workbook exports behind the file dialog.
#include "app/app_state.h"

namespace qm {

// One frame of the page in the content rectangle.
void drawReportsPage(AppState& state, const Rect& rect);

}  // namespace qm
