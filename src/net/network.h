#pragma once
// The one worker thread that talks to the web service, and the pump that
// the frame calls to move work between it and the window. Calls block for up
// to a minute, so the window never makes one: a page leaves an
// AccountRequest in the state, the pump turns it into a NetRequest for the
// worker, and the replies come back through the pump on a later frame.
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "net/api.h"
#include "net/worker.h"

namespace qm {

struct SyncSchedule;

// What the budget sync adds to the pump: its schedule, run last every frame,
// what it does with a sync reply, and the offer to merge the budget kept on
// this device after a sign-in. Left empty, the pump does none of it.
struct SyncHooks {
    std::function<void(AppState&)> schedule;
    std::function<void(AppState&, const NetReply&)> applyReply;
    std::function<void(AppState&)> checkDeviceBudget;
    std::shared_ptr<SyncSchedule> state;
};

// The AppState's `network` holder.
struct NetworkState {
    SyncHooks sync;
    // Last, so that it is stopped and joined before the rest goes.
    Worker<NetRequest, NetReply> worker;

    NetworkState();
};

// Makes the holder and the picture cache; starts no thread.
void initNetwork(AppState& state);
// Hands a job to the worker, starting it on first use. Main thread only;
// once the worker was told to stop, the job is dropped.
void enqueueNetRequest(AppState& state, NetRequest request);
// Once per frame, before the pages: submits the page's request, carries out
// a sign-out, applies finished replies, asks for pictures, runs the sync.
void pumpNetwork(AppState& state);
// Sets the stop flag, stops a running call and wakes the worker; queued jobs
// are dropped.
void stopNetworkWorker(AppState& state);
// Waits for the worker to end, then frees the pictures' textures (the GL
// context is still current when the shell calls it).
void joinNetworkWorker(AppState& state);

}  // namespace qm
