// Manage Accounts: add, rename and retype accounts, pick the default one,
// delete them, and set several balances at once for the end of today.
// Transactions name their accounts, so renames and deletions go through the
// store. As in Manage Categories, Delete puts its own row in edit mode, so a
// cancelled confirmation leaves no other row's values to be saved.
#include <algorithm>
#include <array>

#include "app/account_state.h"
#include "app/app_text.h"
#include "app/budget_io.h"
#include "app/display_elements.h"
#include "app/form_layout.h"
#include "app/icon_textures.h"
#include "app/money_field.h"
#include "app/styled_buttons.h"
#include "app/theme_apply.h"
#include "core/ascii.h"
#include "model/money.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "pages/editing/dialog_rows.h"
#include "pages/editing/editing.h"
#include "platform/render/glyph_atlas.h"
#include "platform/render/primitives.h"
#include "ui/combo_box.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/text_edit.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

constexpr double kRowDp = 42;
constexpr double kDefaultColumnDp = 56;
constexpr double kTypeColumnDp = 150;
constexpr double kBalanceColumnDp = 130;
constexpr double kButtonsColumnDp = 110;

// Labels of the stored account types, in the model's order.
constexpr std::array<const char*, 7> kTypeLabels = {
    "Checking", "Savings", "Credit card / line", "Loan", "Cash", "Investment", "Other"};

std::optional<size_t> typeIndex(const std::string& stored)
{
    auto at = std::find(accountTypeKeys.begin(), accountTypeKeys.end(), stored);
    if (at == accountTypeKeys.end())
        return std::nullopt;
    return size_t(at - accountTypeKeys.begin());
}

// Empty for an account that was never anchored: saving would anchor it.
std::string balanceText(const AppState& state, int64_t accountId)
{
    const BudgetProjection& p = storeProjection(*state.store);
    uint32_t scope = scopeIndex(p, accountId);
    if (p.scopes[scope].anchors.empty())
        return "";
    return editableAmount(roundCents(projectedBalance(p, scope, dayNumber(state.todayDate))));
}

std::string& balanceRow(AppState& state, int64_t accountId)
{
    std::vector<IdLabel>& rows = editDialogs(state).accounts.balanceRows;
    for (IdLabel& row : rows)
        if (row.id == accountId)
            return row.text;
    rows.push_back({accountId, balanceText(state, accountId)});
    return rows.back().text;
}

void startEditing(AppState& state, const Account& a)
{
    AccountDialogState& d = editDialogs(state).accounts;
    d.selectedId = a.id;
    d.editName = a.name;
    d.editTypeIndex = int32_t(typeIndex(a.account_type).value_or(0));
    d.errorText.clear();
}

void askToDelete(AppState& state, const Account& a)
{
    startEditing(state, a);
    showConfirm(state, "Delete account",
        "Delete \"" + a.name
            + "\"? Its transactions are kept without an account, and its balances are removed. This cannot be undone.",
        "delete-account", "Delete", "Cancel", true);
}

void toggleDefault(AppState& state, const Account& a)
{
    bool isDefault = state.store->budget->user.default_account_id == a.id;
    setDefaultAccount(*state.store, isDefault ? 0 : a.id);
    saveBudget(state);
}

// The columns of a row or of the header, in pixels. A row too narrow for
// them all (the compact layout) drops the type column; the edit row then
// puts the type choice over the balance column.
struct Columns {
    double name, nameWidth, type, typeWidth, balance, buttons;
};

constexpr double kFixedColumnsDp = kDefaultColumnDp + kBalanceColumnDp + kButtonsColumnDp + 8;
constexpr double kLeastNameDp = 140;

Columns columnsOf(const AppState& state, const Rect& row)
{
    bool typed = row.w >= dp(*state.ui, kFixedColumnsDp + kTypeColumnDp + kLeastNameDp);
    double typeColumn = typed ? dp(*state.ui, kTypeColumnDp) : 0;
    Columns c;
    c.name = row.x + dp(*state.ui, kDefaultColumnDp);
    c.nameWidth = std::max(0.0, row.w - dp(*state.ui, kFixedColumnsDp) - typeColumn);
    c.type = c.name + c.nameWidth + dp(*state.ui, 8);
    c.typeWidth = typed ? dp(*state.ui, kTypeColumnDp - 8) : 0;
    c.balance = c.name + c.nameWidth + typeColumn;
    c.buttons = c.balance + dp(*state.ui, kBalanceColumnDp);
    return c;
}

void header(AppState& state)
{
    UiContext& ui = *state.ui;
    Rect line = nextLayoutRect(ui, dp(ui, 20), 0);
    Columns c = columnsOf(state, line);
    sectionCaption(state, "Default", {line.x, line.y, dp(ui, kDefaultColumnDp), line.h}, 0);
    sectionCaption(state, "Account", {c.name, line.y, c.nameWidth, line.h}, 0);
    if (c.typeWidth > 0)
        sectionCaption(state, "Type", {c.type, line.y, c.typeWidth, line.h}, 0);
    sectionCaption(state, "Balance today", {c.balance, line.y, dp(ui, kBalanceColumnDp - 10), line.h}, 1);
}

void editRow(AppState& state, const Rect& row, const Columns& c)
{
    UiContext& ui = *state.ui;
    AccountDialogState& d = editDialogs(state).accounts;
    double h = rowHeight(ui);
    bool enter = textEdit(ui, widgetId(ui, "acc-edit-name"), d.editName, centredInRow(row, c.name, c.nameWidth, h),
                     {.placeholder = "Name"})
        == editEnter;
    std::vector<std::string> labels(kTypeLabels.begin(), kTypeLabels.end());
    bool narrow = c.typeWidth == 0;
    Rect type = narrow ? centredInRow(row, c.balance, dp(ui, kBalanceColumnDp - 10), h)
                       : centredInRow(row, c.type, c.typeWidth, h);
    comboBox(ui, widgetId(ui, "acc-edit-type"), d.editTypeIndex, labels, type, false);
    // Save and Cancel: in the balance column, or in the buttons' on a narrow row.
    double buttons = narrow ? c.buttons - dp(ui, 4) : c.balance + dp(ui, 4);
    double width = narrow ? dp(ui, 54) : dp(ui, 60), step = narrow ? dp(ui, 58) : dp(ui, 66);
    bool save = button(state, "acc-edit-save", "Save", centredInRow(row, buttons, width, h), {.style = buttonPrimary});
    if (button(state, "acc-edit-cancel", "Cancel", centredInRow(row, buttons + step, width, h)))
        d.selectedId = 0;
    if (enter || save)
        updateAccountFromDialog(state);
}

void accountRow(AppState& state, const Account& a, bool isDefault, const Rect& row)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    AccountDialogState& d = editDialogs(state).accounts;
    std::string id = std::to_string(a.id);
    Columns c = columnsOf(state, row);
    double h = rowHeight(ui);

    fillRect(*state.renderer, {row.x, row.y, row.w, std::max(1.0, dp(ui, 1))}, t.base[slotShadeStrong]);
    if (iconOnlyButton(state, "acc-star-" + id, isDefault ? "star" : "star_border",
            centredInRow(row, row.x + dp(ui, 14), dp(ui, 28), dp(ui, 28)),
            {.tooltip = "Make this the default account", .tint = t.base[isDefault ? slotWarning : slotTextTertiary]}))
        toggleDefault(state, a);

    if (a.id == d.selectedId) {
        editRow(state, row, c);
        return;
    }

    drawText(state, elideText(state, a.name, c.nameWidth, dp(ui, 13), 600), {c.name, row.y, c.nameWidth, row.h},
        dp(ui, 13), t.base[slotText], 0, 600);
    std::optional<size_t> type = typeIndex(a.account_type);
    if (c.typeWidth > 0)
        drawText(state, type ? kTypeLabels[*type] : "\u2014", {c.type, row.y, c.typeWidth, row.h}, dp(ui, 12.5),
            t.base[slotTextSecondary], 0, 400);
    TextEditResult edited = amountField(state, "acc-bal-" + id, balanceRow(state, a.id),
        centredInRow(row, c.balance, dp(ui, kBalanceColumnDp - 10), h), "0.00", false);
    // Enter commits a balance as leaving the field does.
    if (edited == editFocusLost || edited == editEnter)
        d.balancesEdited = true;
    double bh = dp(ui, 28);
    if (button(state, "acc-edit-" + id, "Edit", centredInRow(row, c.buttons, dp(ui, 50), bh), {.style = buttonQuiet}))
        startEditing(state, a);
    if (button(state, "acc-del-" + id, "Delete", centredInRow(row, row.x + row.w - dp(ui, 58), dp(ui, 58), bh),
            {.style = buttonQuietDanger}))
        askToDelete(state, a);
}

// The built-in faces have no star character: the star icon the rows use
// stands in front of the sentence instead.
void defaultNote(AppState& state)
{
    UiContext& ui = *state.ui;
    double icon = dp(*state.ui, 14), indentBy = icon + dp(*state.ui, 4);
    const LayoutFrame& f = currentLayout(ui);
    double line = lineHeight(*ui.font, fontSize(ui));
    drawAppIcon(*state.renderer, "star", {f.x, f.cursorY + (line - icon) / 2, icon, icon}, ui.theme.base[slotWarning]);
    indent(ui, indentBy);
    wrappedLabel(ui,
        "marks your default account: the calendar opens on it, so running-balance changes land there. Edit any "
        "balances and press Save balances to set them all for the end of today.",
        1, 0);
    unindent(ui, indentBy);
}

}  // namespace

void openManageAccounts(AppState& state)
{
    AccountDialogState& d = editDialogs(state).accounts;
    d.newName.clear();
    d.selectedId = 0;
    d.errorText.clear();
    d.balanceRows.clear();
    for (const Account& a : accountsInOrder(*state.store->budget))
        d.balanceRows.push_back({a.id, balanceText(state, a.id)});
    d.balancesEdited = false;
    state.accountsWindow->focusOnOpen.clear();
    state.accountsWindow->open = true;
    state.redrawRequested = true;
}

void addAccountFromDialog(AppState& state)
{
    AccountDialogState& d = editDialogs(state).accounts;
    EditResult r = addAccount(*state.store, trimAsciiBlanks(d.newName), "");
    if (!r.ok) {
        d.errorText = r.error;
        return;
    }
    d.errorText.clear();
    d.newName.clear();
    d.balanceRows.push_back({r.id, ""});
    saveBudget(state);
    showSuccess(state, "Account added");
}

void updateAccountFromDialog(AppState& state)
{
    AccountDialogState& d = editDialogs(state).accounts;
    std::string_view type = accountTypeKeys[size_t(std::clamp(d.editTypeIndex, 0, 6))];
    // An account without a type opens on Checking; left there, it keeps
    // none, so that saving a rename does not retype it as well.
    const Budget& b = *state.store->budget;
    std::optional<size_t> at = findAccount(b, d.selectedId);
    if (at && b.accounts[*at].account_type.empty() && d.editTypeIndex == 0)
        type = "";
    EditResult r = updateAccount(*state.store, d.selectedId, trimAsciiBlanks(d.editName), type);
    if (!r.ok) {
        d.errorText = r.error;
        return;
    }
    d.errorText.clear();
    d.selectedId = 0;
    saveBudget(state);
    showSuccess(state, "Account updated");
}

void saveAccountBalances(AppState& state)
{
    AccountDialogState& d = editDialogs(state).accounts;
    std::vector<std::pair<int64_t, double>> pairs;
    bool bad = false;
    for (const IdLabel& row : d.balanceRows) {
        std::string_view text = trimAsciiBlanks(row.text);
        if (text.empty())
            continue;
        if (std::optional<double> value = parseMoney(text))
            pairs.push_back({row.id, roundCents(*value)});
        else
            bad = true;
    }
    if (bad) {
        showError(state, "A balance is not a number.");
        return;
    }
    setAccountBalances(*state.store, pairs, state.todayDate);
    saveBudget(state);
    d.balancesEdited = false;
    showSuccess(state, "Balances saved");
}

void drawManageAccountsDialog(AppState& state)
{
    WindowState& window = *state.accountsWindow;
    if (!beginEditDialog(state, "acced", "Manage Accounts", window, 640, 560))
        return;
    UiContext& ui = *state.ui;
    AccountDialogState& d = editDialogs(state).accounts;
    double h = rowHeight(ui);

    bool add = addByNameRow(state, "New account", "acc-new", d.newName, "Account name", "acc-add");
    addSpace(ui, dp(ui, 10));
    header(state);
    addSpace(ui, dp(ui, 2));

    const Budget& b = *state.store->budget;
    int64_t defaultId = b.user.default_account_id;
    // Copies: a row's action may change the budget's list mid-walk.
    for (const Account& a : accountsInOrder(b))
        accountRow(state, a, a.id == defaultId, nextLayoutRect(ui, dp(ui, kRowDp), 0));

    addSpace(ui, dp(ui, 10));
    defaultNote(state);

    footerNote(state, d.errorText, ui.theme.base[slotDanger], 0, dp(ui, 250));
    beginRow(ui, h, {-1, dp(ui, 96), dp(ui, 130)});
    textBlock(ui, "", 0, 0, 0, 0);
    if (flowButton(state, "acc-done", "Done"))
        window.open = false;
    bool saveBalances =
        flowButton(state, "acc-savebal", "Save balances", {.style = buttonPrimary, .disabled = !d.balancesEdited});
    endRow(ui);
    endEditDialog(state);
    if (add)
        addAccountFromDialog(state);
    if (saveBalances)
        saveAccountBalances(state);
}

}  // namespace qm
