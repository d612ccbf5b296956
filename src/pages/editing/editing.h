#pragma once
// The editing dialogs' records, the order in which they are drawn, the frame
// they share, and the confirmed actions: a destructive action asked for
// through the confirmation box runs at the start of the frame after the
// user confirmed it.
//
// A dialog is open exactly while the shell's WindowState for it is open; the
// records below keep what the dialog shows and acts on. Every id in them is
// a budget id, renamed by remapPageIds when the service assigns its own.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/app_state.h"

namespace qm {

struct BalanceDialogState {
    Date date;
    int64_t accountId = 0;  // the account filter when opened; 0 = all accounts
    double currentTotal = 0;
    double unadjustedTotal = 0;
    bool anchored = false;
    std::string targetText;
};

struct AdjustDialogState {
    OccurrenceRef occurrence;
    double currentAmount = 0;
    double originalAmount = 0;
    std::string newAmountText;
    std::string description;
};

struct MoveDialogState {
    OccurrenceRef occurrence;
    Date newDate;
    std::string description;
};

struct RecurringDeleteState {
    OccurrenceRef occurrence;
};

// The message is the shell's categoriesError.
struct CategoryDialogState {
    std::string newName;
    std::string newColor;
    // The row in edit mode; also the category a confirmed "delete-category"
    // deletes. 0 = none.
    int64_t selectedId = 0;
    std::string editName;
    std::string editColor;
    int64_t editIconId = 0;
    // Transactions per category name, counted in one pass and kept while
    // the same store stays at the same change count.
    std::weak_ptr<const LocalStore> countedStore;
    int32_t countedAt = -1;
    std::unordered_map<std::string, int32_t> counts;
};

struct IdLabel {
    int64_t id = 0;
    std::string text;
};

struct AccountDialogState {
    std::string newName;
    // The row in edit mode; also the account a confirmed "delete-account"
    // deletes. 0 = none.
    int64_t selectedId = 0;
    std::string editName;
    int32_t editTypeIndex = 0;
    std::vector<IdLabel> balanceRows;  // each account's "Balance today" text
    bool balancesEdited = false;
    std::string errorText;
};

struct EditDialogsState {
    BalanceDialogState balance;
    AdjustDialogState adjust;
    MoveDialogState move;
    RecurringDeleteState recurringDelete;
    CategoryDialogState categories;
    AccountDialogState accounts;
};

// The records, made on first use.
EditDialogsState& editDialogs(AppState& state);

void openDeleteRecurring(AppState& state, const OccurrenceRef& ref);
void openSetRunningBalance(AppState& state, int32_t year, int32_t month, int32_t day);
void openAdjustAmount(AppState& state, const OccurrenceRef& ref);
void openMoveTransaction(AppState& state, const OccurrenceRef& ref);
void openManageCategories(AppState& state);
void openManageAccounts(AppState& state);

// The dialogs' actions, as their main buttons and Enter run them.
void applyRunningBalance(AppState& state);
void applyAdjustAmount(AppState& state);
void addCategoryFromDialog(AppState& state);
void updateCategoryFromDialog(AppState& state);
void addAccountFromDialog(AppState& state);
void updateAccountFromDialog(AppState& state);
void saveAccountBalances(AppState& state);

// "14 transactions and 2 balances": what the budget kept on this device holds.
std::string mergeSummary(int32_t transactions, int32_t balances);
// Ten palette swatches and a "#RRGGBB" box (when the rectangle has room for
// it); true when the colour was changed this frame.
bool drawColorField(AppState& state, std::string_view id, std::string& color, const Rect& rect);
// An amount as a field shows it for editing: "-120.50", "2500.00".
std::string editableAmount(double amount);

// Every frame after the tour and the transaction form: the open dialogs in a
// fixed order, so that a later one lies on top.
void drawDialogs(AppState& state);
void drawRunningBalanceDialog(AppState& state);
void drawAdjustAmountDialog(AppState& state);
void drawMoveDialog(AppState& state);
void drawDeleteRecurringDialog(AppState& state);
void drawMergeDeviceBudgetDialog(AppState& state);
void drawManageCategoriesDialog(AppState& state);
void drawManageAccountsDialog(AppState& state);

// A "Yes" clicked in the confirmation box only records what to do; the
// next frame does it here, first thing, and clears the record.
// The ids it knows: "logout", "delete-tx", "delete-account",
// "delete-category", "delete-user", "regen-token", "calsync-off"; any other
// id does nothing, so a stale or mistyped one can never delete anything.
void runConfirmedAction(AppState& state);

// The frame every editing dialog shares. beginEditDialog sizes the window
// (dialogSize, then no taller than its content, and with growToContent as
// tall as its content, so that a short form is never cut) and opens it
// modal with a dimmed backdrop; false when nothing is drawn (then no
// endEditDialog).
bool beginEditDialog(AppState& state, std::string_view windowId, std::string_view title, WindowState& window,
    double widthDp, double heightDp, bool growToContent = false);
// A muted line naming the day or occurrence the dialog acts on.
void dialogHeadline(AppState& state, std::string_view text);
// A read-only amount under its label.
void readOnlyAmount(AppState& state, std::string_view label, double amount);
// The footer row: a spacer, Cancel (which closes the window) and the main
// button; true when the main button was clicked.
bool dialogFooter(AppState& state, WindowState& window, std::string_view cancelId, std::string_view mainId,
    std::string_view mainLabel, bool mainDisabled = false);
void endEditDialog(AppState& state);

}  // namespace qm
