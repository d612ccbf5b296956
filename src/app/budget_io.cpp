#include "app/budget_io.h"
#include "app/toasts.h"

#include <new>

#include "app/navigation.h"
#include "app/page_table.h"
#include "app/paths.h"
#include "app/theme_apply.h"
#include "model/store.h"

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

// What the box says about a budget that was refused: which file, in which
// folder, and what the user can do about it.
std::string refusalText(const std::string& folder, const std::exception& e)
{
    const char* unsaved = " Changes made now are not saved.";
    if (const auto* newer = dynamic_cast<const NewerBudgetError*>(&e))
        return "This budget was written by a newer version of Quenmark (" + newer->file + ": " + newer->reason
            + "). Update Quenmark to open it; its files were left unchanged." + unsaved;
    std::string what;
    std::string file = "its files";
    if (const auto* shape = dynamic_cast<const StoreShapeError*>(&e)) {
        what = shape->file + " in " + folder + " is damaged: " + shape->reason + ".";
        file = "a copy of " + shape->file;
    } else {
        what = "The budget in " + folder + " could not be read: " + e.what() + ".";
        file = "a copy of its files";
    }
    return what + " Its files were left unchanged." + unsaved
        + " To start a new budget, quit Quenmark and move the folder aside; to keep this one, put back " + file + ".";
}

}  // namespace

BudgetRead readBudget(const std::string& folder)
{
    BudgetRead read;
    try {
        read.store = openStore(folder);
        seedStore(*read.store);
    } catch (...) {
        read.store = nullptr;
        read.failure = std::current_exception();
    }
    return read;
}

void openBudget(AppState& state, const std::string& id)
{
    // The folder is read only once every save handed over is in it.
    if (state.storeSaver)
        waitForSaves(*state.storeSaver);
    installBudget(state, id, readBudget(budgetFolder(id)));
}

void installBudget(AppState& state, const std::string& id, BudgetRead read)
{
    if (state.storeSaver) {
        waitForSaves(*state.storeSaver);
        pollSaves(state);
    }
    state.budgetId = id;
    std::string folder = budgetFolder(id);
    state.budgetReadFailure.clear();
    if (read.failure) {
        try {
            std::rethrow_exception(read.failure);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            state.store = standInStore();
            state.budgetReadFailure = e.what();
            showMessage(state, "The budget could not be opened", refusalText(folder, e));
        }
    } else {
        state.store = std::move(read.store);
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
    if (pageTable().budgetOpened)
        pageTable().budgetOpened(state);
    state.accountFieldsFilled = false;
    state.redrawRequested = true;
}

void saveBudget(AppState& state)
{
    LocalStore& store = *state.store;
    if (!state.storeSaver || !state.budgetReadFailure.empty() || store.folder.empty() || !store.dirty) {
        trySaveBudget(state);
        return;
    }
    saveStoreLater(*state.storeSaver, state.store);
    state.hasUnsentChanges = !store.journal.empty();
    state.redrawRequested = true;
}

void pollSaves(AppState& state)
{
    if (!state.storeSaver)
        return;
    pollSaver(*state.storeSaver);
    std::optional<SaveFailure> failure = takeSaveFailure(*state.storeSaver);
    if (!failure)
        return;
    if (state.store && state.store->folder == failure->folder)
        state.store->dirty = true;
    showError(state, "Could not save the budget: " + failure->message);
}

std::optional<std::string> trySaveBudget(AppState& state)
{
    if (state.storeSaver) {
        waitForSaves(*state.storeSaver);
        // A failed save is written again below; its toast would only repeat.
        if (std::optional<SaveFailure> failed = takeSaveFailure(*state.storeSaver))
            if (state.store && state.store->folder == failed->folder)
                state.store->dirty = true;
    }
    std::optional<std::string> failure;
    if (!state.budgetReadFailure.empty()) {
        // The box said so when the budget was refused; a toast at every save
        // would only repeat it. Only changes made since are worth a word.
        if (state.store->dirty)
            failure = state.budgetReadFailure;
        return failure;
    }
    if (state.store->folder.empty()) {
        failure = std::string("the budget has no folder");
    } else if (state.store->dirty) {
        // An unchanged budget is never rewritten: a start or a close that
        // changed nothing leaves its files as they were.
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
    state.toasts.push_back({text, kind, toastClock() + seconds});
    state.redrawRequested = true;
}

void showSuccess(AppState& state, const std::string& text)
{
    showToast(state, text, toastSuccess, kSuccessToastSeconds);
}

void showError(AppState& state, const std::string& text) { showToast(state, text, toastError, kErrorToastSeconds); }

void showMessage(AppState& state, const std::string& title, const std::string& text)
{
    state.message.title = title;
    state.message.text = text;
    state.message.window->open = true;
    state.redrawRequested = true;
}

}  // namespace qm
