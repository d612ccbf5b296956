#pragma once
// Keeping the open budget in step with the web service: when to send the
// journal (a schedule the pump runs every frame), what the request carries,
// and what its reply does to the store. Main thread only; the call itself
// runs on the network worker.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "net/api.h"

namespace qm {

// The schedule's memory between frames. Times are Unix seconds read from
// `clock`, which tests replace.
struct SyncSchedule {
    std::function<double()> clock;
    bool inFlight = false;
    double lastAttemptAt = 0;
    double lastSuccessAt = 0;
    double firstUnsentAt = 0;  // 0 while no unsent change waits
    int32_t lastSyncedChangeCount = -1;
    double backoffSeconds = 60;
    // The request in flight: its budget, the store it was marked on and the
    // newest op it carries.
    std::string flightBudget;
    std::weak_ptr<LocalStore> flightStore;
    int32_t flightSeq = 0;
    // The request, held back until the store saver has put its sent mark
    // on disk (the save with that ticket); none once it has left.
    std::optional<NetRequest> held;
    uint64_t heldTicket = 0;
};

inline constexpr double kUnsentDelaySeconds = 3;
inline constexpr double kMinBackoffSeconds = 60;
inline constexpr double kMaxBackoffSeconds = 900;

// Fills the network's sync hooks (once) and starts the schedule: a signed-in
// user syncs at the first frame.
void initSyncSchedule(AppState& state);
// The schedule itself; null before initSyncSchedule.
SyncSchedule* syncSchedule(AppState& state);
void requestSyncNow(AppState& state);
// Whether the open budget may sync: signed in, verified, an account's budget
// whose files could be read.
bool syncEligible(const AppState& state);
// The periodic wait for a syncMinutes setting.
double syncIntervalSeconds(int32_t syncMinutes);
void runSyncSchedule(AppState& state);
// Queues one sync request unless one is in flight or the budget may not sync.
void startSync(AppState& state);
void applySyncReply(AppState& state, const NetReply& reply);

}  // namespace qm
