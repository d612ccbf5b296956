#include "net/service_sync.h"

#include "app/account_state.h"
#include "app/budget_io.h"
#include "app/page_table.h"
#include "app/paths.h"
#include "model/budget_json.h"
#include "model/store.h"
#include "model/store_saver.h"
#include "model/store_sync.h"
#include "net/account_replies.h"
#include "net/api.h"
#include "net/device_budget.h"
#include "net/network.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>
#include <vector>

namespace qm {

namespace {

struct MappedEntity {
    const char* name;
    Entity entity;
};

constexpr MappedEntity mappedEntities[] = {{"transaction", entTransaction}, {"adjustment", entAdjustment},
    {"anchor", entAnchor}, {"account", entAccount}, {"category", entCategory}};

constexpr const char* newerSnapshotMessage =
    "Your budget on the service was changed by a newer version of Quenmark. Update Quenmark to keep syncing.";

double now(const SyncSchedule& s) { return s.clock ? s.clock() : unixNow(); }

std::optional<int64_t> keyId(const std::string& key)
{
    int64_t id = 0;
    auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), id);
    if (key.empty() || ec != std::errc() || end != key.data() + key.size())
        return std::nullopt;
    return id;
}

// The service's ids are positive; anything else would merge records or
// bring back a local id.
std::optional<int64_t> serverId(const Json& value)
{
    if (value.is_number_unsigned()) {
        uint64_t id = value.get<uint64_t>();
        if (id == 0 || id > uint64_t(std::numeric_limits<int64_t>::max()))
            return std::nullopt;
        return int64_t(id);
    }
    if (value.is_number_integer() && value.get<int64_t>() > 0)
        return value.get<int64_t>();
    return std::nullopt;
}

void applyMapping(AppState& state, const Json& mapping)
{
    if (!mapping.is_object())
        return;
    for (const MappedEntity& m : mappedEntities) {
        auto it = mapping.find(m.name);
        if (it == mapping.end() || !it->is_object())
            continue;
        std::vector<IdPair> pairs;
        for (auto pair = it->begin(); pair != it->end(); ++pair) {
            std::optional<int64_t> from = keyId(pair.key());
            std::optional<int64_t> to = serverId(pair.value());
            if (from && to)
                pairs.push_back({*from, *to});
        }
        if (pairs.empty())
            continue;
        remapDataIds(*state.store, m.entity, pairs);
        if (const auto& remapPages = pageTable().remapPageIds)
            remapPages(state, m.entity, pairs);
    }
}

std::string stringMember(const Json& object, const char* key)
{
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

void installSnapshot(AppState& state, BudgetPtr budget, const Json& snapshot, std::string etag)
{
    const Budget& current = *state.store->budget;
    // The reader turns a missing theme into "system"; the service not
    // knowing the theme must not undo the one chosen here.
    auto user = snapshot.find("user");
    if (user == snapshot.end() || !user->is_object() || stringMember(*user, "theme_preference").empty())
        budget->user.theme_preference = current.user.theme_preference;
    // Icons are never journaled, so a service that keeps none leaves ours.
    auto icons = snapshot.find("icons");
    if (icons == snapshot.end() || !icons->is_array())
        budget->icons = current.icons;
    replaceBudget(*state.store, std::move(budget), std::move(etag));
    state.accountFieldsFilled = false;
}

void failed(SyncSchedule& s, AppState& state, const std::string& message, uint8_t syncState)
{
    state.syncState = syncState;
    state.lastSyncError = message;
    s.backoffSeconds = std::min(s.backoffSeconds * 2, kMaxBackoffSeconds);
}

// Nothing of a request that never left may hold the schedule or the mark.
void dropHeld(SyncSchedule& s)
{
    s.held.reset();
    s.inFlight = false;
    s.flightStore.reset();
}

// Sends the held request once the save of its mark has ended well; a failed
// save sends nothing, and the ops are free to coalesce again.
void sendWhenMarked(SyncSchedule& s, AppState& state)
{
    if (state.budgetId != s.flightBudget || s.flightStore.lock() != state.store || !syncEligible(state)
        || !state.storeSaver) {
        dropHeld(s);
        return;
    }
    pollSaves(state);
    switch (saveState(*state.storeSaver, s.heldTicket)) {
    case SaveState::pending:
        return;
    case SaveState::saved:
        enqueueNetRequest(state, std::move(*s.held));
        s.held.reset();
        return;
    case SaveState::failed:
        dropHeld(s);
        clearSentMark(*state.store);
        failed(s, state, "Could not save the budget: " + lastSaveFailure(*state.storeSaver), syncFailed);
        return;
    }
}

void endSession(AppState& state)
{
    showError(state, std::string(serviceLabel) + " no longer accepts this sign-in. Sign in again.");
    std::string email = state.session.email;
    signOut(state);
    openWelcomePage(state, welcomeSignIn);
    welcomeForm(state).email = email;
    welcomeForm(state).focusRequest = "wl-pw";
}

}  // namespace

SyncSchedule* syncSchedule(AppState& state) { return state.network ? state.network->sync.state.get() : nullptr; }

void initSyncSchedule(AppState& state)
{
    if (!state.network)
        state.network = std::make_shared<NetworkState>();
    SyncHooks& hooks = state.network->sync;
    if (!hooks.state)
        hooks.state = std::make_shared<SyncSchedule>();
    hooks.schedule = runSyncSchedule;
    hooks.applyReply = applySyncReply;
    hooks.checkDeviceBudget = checkDeviceBudget;
    hooks.state->lastSyncedChangeCount = state.store ? state.store->change_count : -1;
    if (isSignedIn(state))
        state.syncNowRequested = true;
}

void requestSyncNow(AppState& state) { state.syncNowRequested = true; }

bool syncEligible(const AppState& state)
{
    return isSignedIn(state) && state.store && state.store->budget->user.is_verified && state.budgetId != "local"
        && state.budgetReadFailure.empty();
}

double syncIntervalSeconds(int32_t syncMinutes) { return syncMinutes < 2 ? 60.0 : 60.0 * syncMinutes; }

void runSyncSchedule(AppState& state)
{
    SyncSchedule* sp = syncSchedule(state);
    if (!sp)
        return;
    SyncSchedule& s = *sp;
    if (s.held)
        sendWhenMarked(s, state);
    // A budget reopened while its request is out gets a new store: the ops
    // that request carries must stay as they were sent there too.
    if (s.inFlight && state.store && state.budgetId == s.flightBudget && s.flightStore.lock() != state.store) {
        markSent(*state.store);
        s.flightStore = state.store;
    }
    if (!syncEligible(state)) {
        if (!isSignedIn(state))
            state.syncState = syncLocalOnly;
        else if (state.store && !state.store->budget->user.is_verified)
            state.syncState = syncUnverified;
        state.syncNowRequested = false;
        if (s.inFlight)
            state.redrawRequested = true;
        return;
    }
    double t = now(s);
    if (state.store->change_count != s.lastSyncedChangeCount && !state.store->journal.empty() && s.firstUnsentAt == 0)
        s.firstUnsentAt = t;

    if (state.syncNowRequested) {
        state.syncNowRequested = false;
        startSync(state);
    } else if (s.inFlight) {
        // one request at a time: the rules below wait for its reply
    } else if ((state.syncState == syncIdle || state.syncState == syncBusy) && s.firstUnsentAt > 0
        && t - s.firstUnsentAt > kUnsentDelaySeconds) {
        s.firstUnsentAt = 0;
        startSync(state);
    } else if (((state.syncState == syncOffline || state.syncState == syncFailed)
                   && t - s.lastAttemptAt > s.backoffSeconds)
        || (t - s.lastSuccessAt > syncIntervalSeconds(state.settings.syncMinutes) && t - s.lastAttemptAt > 60)) {
        startSync(state);
    }
    if (s.inFlight)
        state.redrawRequested = true;
}

void startSync(AppState& state)
{
    SyncSchedule* sp = syncSchedule(state);
    if (!sp || sp->inFlight || !syncEligible(state))
        return;
    SyncSchedule& s = *sp;
    LocalStore& store = *state.store;
    NetRequest job;
    job.category = rcSync;
    job.server = serverBaseUrl(state.settings);
    job.token = state.session.token;
    job.ops = journalToJson(store);
    job.etag = store.etag;
    // Ops up to this one are on their way: until a reply is applied, later
    // edits must not rewrite or drop them, even in a later run of the
    // program, so the mark is on disk before the request can reach the
    // service.
    int32_t marked = store.sent_up_to;
    job.highestSeq = markSent(store);
    job.budgetId = state.budgetId;
    s.inFlight = true;
    s.flightBudget = state.budgetId;
    s.flightStore = state.store;
    s.flightSeq = job.highestSeq;
    s.lastAttemptAt = now(s);
    state.syncState = syncBusy;
    state.redrawRequested = true;
    if (job.highestSeq != marked && job.highestSeq > 0) {
        markDirty(store);
        if (state.storeSaver && !store.folder.empty()) {
            // Written by the saver, as a whole budget takes too long for a
            // frame; the schedule sends the request once the save is done.
            s.heldTicket = saveStoreLater(*state.storeSaver, state.store);
            s.held = std::move(job);
            return;
        }
        if (std::optional<std::string> failure = trySaveBudget(state)) {
            dropHeld(s);
            clearSentMark(store);
            failed(s, state, "Could not save the budget: " + *failure, syncFailed);
            return;
        }
    }
    enqueueNetRequest(state, std::move(job));
}

void applySyncReply(AppState& state, const NetReply& reply)
{
    SyncSchedule* sp = syncSchedule(state);
    if (!sp)
        return;
    SyncSchedule& s = *sp;
    s.inFlight = false;
    s.flightStore.reset();
    // Made for a budget that has closed since (a sign-out, another account):
    // nothing of it may reach the budget open now.
    if (reply.budgetId != state.budgetId || !isSignedIn(state))
        return;
    LocalStore& store = *state.store;
    const ApiResult& result = reply.result;
    // A failed request may still have been applied by the service (its
    // reply lost, or cut): its ops stay marked as sent until a reply is.
    if (result.transportFailed) {
        state.online = false;
        failed(s, state, result.message, syncOffline);
        return;
    }
    state.online = true;
    if (!result.ok) {
        if (result.code == "unauthorized") {
            endSession(state);
        } else if (result.code == "verification_required") {
            store.budget->user.is_verified = false;
            markDirty(store);
            saveBudget(state);
            state.syncState = syncUnverified;
        } else {
            failed(s, state, result.message, syncFailed);
        }
        return;
    }
    const Json& body = *result.reply;
    // The snapshot is read before anything of the reply is taken: one this
    // version cannot read leaves the budget, its journal and the sent mark as
    // they were, as a lost reply would.
    auto unchanged = body.find("unchanged");
    auto snapshot = body.find("snapshot");
    bool isUnchanged = unchanged != body.end() && unchanged->is_boolean() && unchanged->get<bool>();
    BudgetPtr theirs;
    if (!isUnchanged && snapshot != body.end() && snapshot->is_object()) {
        try {
            theirs = budgetFromJson(*snapshot);
        } catch (const NewerFormatError&) {
            // Said once where it is seen; the retries that follow keep it in the sync status.
            if (state.lastSyncError != newerSnapshotMessage)
                showError(state, newerSnapshotMessage);
            failed(s, state, newerSnapshotMessage, syncFailed);
            return;
        } catch (const ValueError&) {
            failed(s, state, notUnderstoodMessage(result.status), syncFailed);
            return;
        } catch (const Json::exception&) {
            failed(s, state, notUnderstoodMessage(result.status), syncFailed);
            return;
        }
    }
    s.backoffSeconds = kMinBackoffSeconds;
    auto mapping = body.find("mapping");
    if (mapping != body.end())
        applyMapping(state, *mapping);
    if (reply.opCount > 0)
        opsAfter(store, reply.highestSeq);
    clearSentMark(store);

    if (isUnchanged) {
        store.etag = stringMember(body, "etag");
        store.last_sync = now(s);
        markDirty(store);
    } else if (theirs) {
        if (!store.journal.empty())
            state.syncNowRequested = true;
        else
            installSnapshot(state, std::move(theirs), *snapshot, stringMember(body, "etag"));
    }
    saveBudget(state);
    state.hasUnsentChanges = !store.journal.empty();
    state.syncState = syncIdle;
    state.lastSyncError.clear();
    s.lastSuccessAt = now(s);
    s.lastSyncedChangeCount = store.change_count;
    state.redrawRequested = true;
}

}  // namespace qm
