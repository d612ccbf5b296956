#include "net/device_budget.h"

#include "app/budget_io.h"
#include "app/paths.h"
#include "model/store.h"
#include "model/store_sync.h"

#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

namespace qm {

namespace {

namespace fs = std::filesystem;

const char* const deviceBudgetId = "local";

void mergeFailed(AppState& state, const std::string& reason)
{
    showError(state, "Could not merge the budget kept on this device: " + reason);
}

}  // namespace

void checkDeviceBudget(AppState& state)
{
    LocalStorePtr device;
    try {
        device = openStore(budgetFolder(deviceBudgetId));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // Nothing to offer that could be merged.
        return;
    }
    int32_t transactions = 0, anchors = 0;
    for (const Transaction& t : device->budget->transactions)
        transactions += t.is_demo ? 0 : 1;
    for (const RunningTotalAdjustment& r : device->budget->running_total_adjustments)
        anchors += r.is_demo ? 0 : 1;
    state.merge.transactions = transactions;
    state.merge.adjustments = anchors;
    if (state.merge.window)
        state.merge.window->open = true;
    state.redrawRequested = true;
}

bool mergeDeviceBudget(AppState& state)
{
    if (state.budgetId == deviceBudgetId || !state.budgetReadFailure.empty() || state.store->folder.empty()) {
        mergeFailed(state, state.budgetReadFailure.empty() ? "no account's budget is open" : state.budgetReadFailure);
        return false;
    }
    LocalStorePtr device;
    try {
        device = openStore(budgetFolder(deviceBudgetId));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        mergeFailed(state, e.what());
        return false;
    }
    // A merge that cannot be saved is taken back: the device budget stays,
    // and merging it again later must not add its records twice.
    LocalStore& store = *state.store;
    Budget budgetBefore = *store.budget;
    std::vector<JournalOp> journalBefore = store.journal;
    int64_t nextLocalBefore = store.next_local;
    int32_t nextSeqBefore = store.next_seq;
    MergeCounts counts;
    std::optional<std::string> failure;
    try {
        counts = mergeBudget(store, *device->budget);
        saveStore(store);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure) {
        store.budget = std::make_shared<Budget>(std::move(budgetBefore));
        store.journal = std::move(journalBefore);
        store.next_local = nextLocalBefore;
        store.next_seq = nextSeqBefore;
        markDirty(store);
        state.hasUnsentChanges = !store.journal.empty();
        mergeFailed(state, *failure);
        return false;
    }
    state.hasUnsentChanges = !store.journal.empty();
    std::error_code ignored;
    fs::remove_all(budgetFolder(deviceBudgetId), ignored);
    state.syncNowRequested = true;
    int32_t n = counts.transactionsAdded;
    showSuccess(state, "Merged " + std::to_string(n) + " transaction" + (n == 1 ? "" : "s") + " into your account");
    return true;
}

void removeDeviceBudget(AppState& state)
{
    std::error_code ec;
    fs::remove_all(budgetFolder(deviceBudgetId), ec);
    if (!ec && fs::exists(budgetFolder(deviceBudgetId), ec))
        ec = std::make_error_code(std::errc::directory_not_empty);
    if (ec)
        showError(state, "Could not remove the budget kept on this device: " + ec.message());
    else
        showSuccess(state, "The budget kept on this device was removed");
}

}  // namespace qm
