#include "app/budget_io.h"

#include <new>

#include "app/navigation.h"
#include "app/paths.h"
#include "app/theme_apply.h"

namespace qm {

namespace {

// An empty budget in place of one that could not be read. Its folder is
// empty, which saveBudget takes as "never write".
LocalStorePtr standInStore()
{
    LocalStorePtr store = newLocalStore("");
    store->budget = newBudget();
    return store;
}

}  // namespace

void openBudget(AppState& state, const std::string& id)
{
    state.budgetId = id;
    std::string folder = budgetFolder(id);
    state.budgetReadFailure.clear();
    try {
        state.store = openStore(folder);
        seedStore(*state.store);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        state.store = standInStore();
        state.budgetReadFailure = e.what();
        showMessage(state, "The budget could not be opened",
            "The budget in " + folder + " could not be read: " + state.budgetReadFailure
                + ". Its files were left unchanged. Changes made now are not saved.");
    }
    state.settings.lastBudget = id;
    writeSettings(state.settings);

    state.selectedOccurrence = {};
    // The pages' clipboard, menu targets and drag name records of the budget
    // that was open: local ids repeat from one budget to the next.
    state.calendarPage.reset();
    state.drag.reset();
    state.focusedDay = state.todayDate;
    state.focusedDayValid = true;
    state.shownMonth = {state.todayDate.year, state.todayDate.month};
    state.selectedDate = state.todayDate;
    state.redrawRequested = true;

    applyProfileTheme(state);

    state.syncState = state.session.token.empty() ? syncLocalOnly : syncIdle;
    state.hasUnsentChanges = !state.store->journal.empty();
    state.searchDirty = true;
    state.reportCacheKey = 0;
    state.accountFieldsFilled = false;
    state.redrawRequested = true;
}

void saveBudget(AppState& state) { trySaveBudget(state); }

std::optional<std::string> trySaveBudget(AppState& state)
{
    std::optional<std::string> failure;
    if (!state.budgetReadFailure.empty() || state.store->folder.empty()) {
        failure = state.budgetReadFailure.empty() ? std::string("the budget has no folder") : state.budgetReadFailure;
    } else {
        try {
            saveStore(*state.store);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (failure)
        showError(state, "Could not save the budget: " + *failure);
    state.hasUnsentChanges = !state.store->journal.empty();
    state.redrawRequested = true;
    return failure;
}

void showToast(AppState& state, const std::string& text, uint8_t kind, double seconds)
{
    state.toasts.push_back({text, kind, uiClock(state) + seconds});
    state.redrawRequested = true;
}

void showSuccess(AppState& state, const std::string& text)
{
    showToast(state, text, toastSuccess, kSuccessToastSeconds);
}

void showError(AppState& state, const std::string& text) { showToast(state, text, toastError, kErrorToastSeconds); }

void showMessage(AppState& state, const std::string& title, const std::string& text)
{
    state.messageTitle = title;
    state.messageText = text;
    state.messageWindow->open = true;
    state.redrawRequested = true;
}

}  // namespace qm
