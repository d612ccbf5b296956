#pragma once
// Opening and saving the one open budget, and the toasts that report what
// happened. A budget whose files cannot be read never locks the user out
// and is never overwritten: it is replaced by an empty stand-in that is
// never written, and the user is told so.
#include <optional>
#include <string>

#include "app/app_state.h"

namespace qm {

inline constexpr double kSuccessToastSeconds = 4.0;
inline constexpr double kErrorToastSeconds = 6.0;

// Makes the budget with that id ("local" or a user id) the open one, resets
// the calendar to today and applies the profile's theme.
void openBudget(AppState& state, const std::string& id);
// Reads and seeds the budget in the folder without touching any state, so
// it may run off the UI thread; a failure is kept, not raised.
BudgetRead readBudget(const std::string& folder);
// openBudget with the budget already read: a refused one is replaced by the
// stand-in and its message box opens.
void installBudget(AppState& state, const std::string& id, BudgetRead read);

// Writes the open store when it holds changes not yet on disk; a failure
// becomes an error toast, never a raise. A budget that was refused at
// opening is never written and toasts nothing: its message box said so.
// With a store saver the writing happens on its thread and a failure is
// toasted by pollSaves.
void saveBudget(AppState& state);
// The same, written before it returns (after any save still under way), also
// giving the failure's text (for a refused budget, only when changes were
// made since, and without a toast).
std::optional<std::string> trySaveBudget(AppState& state);
// Toasts a failed save of the saver's and marks its changes unsaved again,
// so that the next save writes them.
void pollSaves(AppState& state);

void showToast(AppState& state, const std::string& text, uint8_t kind, double seconds);
void showSuccess(AppState& state, const std::string& text);
void showError(AppState& state, const std::string& text);

// Opens the message box with that title and text.
void showMessage(AppState& state, const std::string& title, const std::string& text);

}  // namespace qm
