// The editing dialogs whose contents are still to come: each draws nothing
// and returns at once, so the host and its order are in place.
#include "pages/dialogs.h"

namespace qm {

void drawRunningBalanceDialog(AppState&) { }
void drawAdjustAmountDialog(AppState&) { }
void drawMoveDialog(AppState&) { }
void drawDeleteRecurringDialog(AppState&) { }
void drawMergeDeviceBudgetDialog(AppState&) { }
void drawManageCategoriesDialog(AppState&) { }
void drawManageAccountsDialog(AppState&) { }

}  // namespace qm
