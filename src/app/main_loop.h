#pragma once
// The program's body and its single-threaded loop: the configuration
// folder, crash handlers, the instance lock, the window and the state, the
// start-up switches, then polling, pacing and drawing until a quit is
// asked for, and the shutdown saves.
#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "app/start_switches.h"

namespace qm {

// What the loop knows when it decides whether a turn draws.
struct PacingInput {
    int32_t dirtyFrames = 0;
    bool redrawRequested = false;
    bool dragInProgress = false;
    bool widgetHeld = false;
    bool toastsShown = false;
    bool syncing = false;
    bool shotPending = false;
    bool splashActive = false;
    int64_t nowNs = 0;
    int64_t lastFrameNs = 0;
};

inline constexpr int64_t kIdleFrameNs = 66'000'000;

// Draw when something changed, something animates, or 66 ms have passed.
bool shouldDraw(const PacingInput& in);
PacingInput pacingInput(
    const AppState& state, int32_t dirtyFrames, bool shotPending, int64_t nowNs, int64_t lastFrameNs);

// Takes the start-up steps the switches ask for, runs the loop and the
// shutdown saves. Returns the exit status: 1 when a headless export or the
// screenshot failed (after one line on standard error), else 0.
int runMainLoop(AppState& state, StartSwitches switches);

// The framebuffer as a PNG; raises IOError when the file cannot be written.
void saveScreenshot(AppState& state, const std::string& path);

// The whole program; its result is the exit status.
int appMain();

// Sets the C library's heap to keep the blocks of a frame (called by appMain
// before anything is made; the open benchmark's process does the same).
void keepHeapForFrames();

}  // namespace qm
