#include "pages/editing/editing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/form_layout.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "model/money.h"
#include "model/record_edits.h"
#include "model/transaction_edits.h"
#include "pages/calendar/calendar_state.h"
#include "platform/render/primitives.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/spacing.h"
#include "ui/window.h"

namespace qm {

namespace {

void deleteMenuTarget(AppState& state)
{
    const OccurrenceRef target = calendarState(state).menuTarget;
    if (!target.valid || !deleteTransaction(*state.store, target.transactionId))
        return;
    saveBudget(state);
    showSuccess(state, "Transaction deleted");
    state.selectedOccurrence = {};
}

// The pending id is spent whether or not the record is still there.
bool deletePending(AppState& state, int64_t& pending, bool (*remove)(LocalStore&, int64_t), const char* toast)
{
    int64_t id = std::exchange(pending, 0);
    if (id == 0 || !remove(*state.store, id))
        return false;
    saveBudget(state);
    showSuccess(state, toast);
    return true;
}

}  // namespace

EditDialogsState& editDialogs(AppState& state)
{
    if (!state.dialogs)
        state.dialogs = std::make_shared<EditDialogsState>();
    return *state.dialogs;
}

void openDeleteRecurring(AppState& state, const OccurrenceRef& ref)
{
    editDialogs(state).recurringDelete.occurrence = ref;
    state.deleteRecurringWindow->open = true;
    state.redrawRequested = true;
}

void drawDialogs(AppState& state)
{
    drawRunningBalanceDialog(state);
    drawAdjustAmountDialog(state);
    drawMoveDialog(state);
    drawDeleteRecurringDialog(state);
    drawMergeDeviceBudgetDialog(state);
    drawManageCategoriesDialog(state);
    drawManageAccountsDialog(state);
}

void runConfirmedAction(AppState& state)
{
    const std::string action = std::move(state.confirm.confirmed);
    state.confirm.confirmed.clear();
    if (action == "logout") {
        state.signOutRequested = true;
        state.redrawRequested = true;
    } else if (action == "delete-tx") {
        deleteMenuTarget(state);
    } else if (action == "delete-account") {
        AccountDialogState& accounts = editDialogs(state).accounts;
        if (deletePending(state, accounts.selectedId, deleteAccount, "Account deleted"))
            accounts.balanceRows.clear();
    } else if (action == "delete-category") {
        deletePending(state, editDialogs(state).categories.selectedId, deleteCategory, "Category deleted");
    } else if (action == "delete-user") {
        queueAccountRequest(state, akDeleteAccount, {});
    } else if (action == "regen-token") {
        queueAccountRequest(state, akCalendarToken, {});
    } else if (action == "calsync-off") {
        queueAccountRequest(state, akCalendarTokenOff, {});
    }
}

bool beginEditDialog(AppState& state, std::string_view windowId, std::string_view title, WindowState& window,
    double widthDp, double heightDp, bool growToContent)
{
    if (!window.open)
        return false;
    UiContext& ui = *state.ui;
    DialogSize size = dialogSize(state, widthDp, heightDp);
    double height = fitWindowHeight(ui, window, size.height);
    // Asked for without a cap, the fit is what the content needs.
    double needed = fitWindowHeight(ui, window, std::numeric_limits<double>::infinity());
    if (growToContent && std::isfinite(needed))
        height = std::max(height, needed);
    return beginWindow(ui, windowId, title, window, size.width, height);
}

void dialogHeadline(AppState& state, std::string_view text)
{
    UiContext& ui = *state.ui;
    Rect line = nextLayoutRect(ui, dp(*state.ui, 20), 0);
    // A long description must not run out of the window.
    double size = dp(*state.ui, 12.5);
    drawText(state, elideText(state, text, line.w, size, 500), line, size, ui.theme.base[slotTextSecondary], 0, 500);
}

void readOnlyAmount(AppState& state, std::string_view label, double amount)
{
    UiContext& ui = *state.ui;
    fieldLabel(state, label);
    Rect box = nextLayoutRect(ui, rowHeight(ui), 0);
    fillRoundRect(*state.renderer, box, dp(*state.ui, 8), ui.theme.base[slotBackgroundDeep]);
    double inset = dp(*state.ui, kSpaceRoomy);
    Rect text{box.x + inset, box.y, std::max(0.0, box.w - inset), box.h};
    drawTextWith(state, formatMoney(amount), text, dp(*state.ui, 13), ui.theme.base[slotTextSecondary], 0, 0);
}

bool dialogFooter(AppState& state, WindowState& window, std::string_view cancelId, std::string_view mainId,
    std::string_view mainLabel, bool mainDisabled)
{
    UiContext& ui = *state.ui;
    windowFooter(ui, 0);
    double button = dp(*state.ui, 96);
    beginRow(ui, rowHeight(ui), {-1, button, button});
    textBlock(ui, "", 0, 0, 0, 0);
    if (flowButton(state, cancelId, "Cancel"))
        window.open = false;
    bool clicked = flowButton(state, mainId, mainLabel, {.style = buttonPrimary, .disabled = mainDisabled});
    endRow(ui);
    return clicked;
}

void endEditDialog(AppState& state) { endWindow(*state.ui); }

}  // namespace qm
