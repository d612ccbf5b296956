#pragma once
// Keeping this copy up to date: find out how it was installed, ask the
// release server for the newest release, download the package on a worker
// thread of its own, check it against the signed manifest and put it in
// place. The window only polls: fetching, hashing, unpacking and writing all
// run on the worker, so no frame waits for them. A failure at any step
// leaves the installed program untouched.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "net/http.h"
#include "net/install_kind.h"
#include "net/update_envelope.h"
#include "net/worker.h"

namespace qm {

enum UpdateState : uint8_t {
    updIdle = 0,  // nothing to show; automatic checks end here quietly
    updChecking = 1,
    updUpToDate = 2,
    updAvailable = 3,
    updDownloading = 4,
    updInstalled = 5,
    updFailed = 6,
};

// What the dialog shows. Starting a check replaces it whole, so a program
// waiting to be started from an earlier install is forgotten.
struct UpdaterStatus {
    uint8_t state = updIdle;
    bool automatic = false;
    UpdateEnvelope envelope;
    ManifestFile asset;
    bool assetFound = false;
    std::string message;
    std::string downloadPath;
    std::string programToStart;
    bool restartRequested = false;
};

struct InstallOutcome {
    bool ok = false;
    std::string message;
};

// One job for the worker. A download is checked and, for the kinds that
// replace a file, installed on the worker too.
struct UpdaterJob {
    uint8_t mode = 0;  // 0 check, 1 download
    std::string url;
    std::string path;  // the download's target
    ManifestFile asset;
    uint8_t kind = ikNone;
    std::string version;
    std::string programPath;  // the file a kind 4 or 5 install replaces
};

struct UpdaterResult {
    HttpResult http;
    bool verified = false;  // the download matched the manifest's size and digest
    InstallOutcome outcome;
};

// The AppState's `updater` holder.
struct UpdaterState {
    UpdaterStatus status;
    // The release keys a package must be signed by.
    std::vector<std::string> keys;
    std::shared_ptr<WindowState> dialog = std::make_shared<WindowState>();
    // Wall-clock seconds since the epoch; tests put a fixed clock here.
    std::function<double()> now;
    // What the installed copy is: the program's own file and its kind.
    std::string programPath;
    uint8_t kind = ikNone;

    // A job was handed over and its result not taken yet: one at a time.
    bool busy = false;
    // Last, so that it is stopped and joined before the rest goes.
    Worker<UpdaterJob, UpdaterResult> worker;

    UpdaterState();
};

// The state's record, made on first use with this build's keys.
UpdaterState& updaterState(AppState& state);

// How the running copy was installed.
InstallKind detectInstallKind();

// Starts a check; a manual one also opens the dialog.
void checkForUpdates(AppState& state, bool automatic);
// Starts downloading the chosen package ("Install Update").
void startUpdateInstall(AppState& state);
// Once per frame before the pages: takes the worker's finished result.
// Once before the first frame: checks when the user allows it, this copy can
// update itself and the last check is 20 hours old.
void autoCheckForUpdates(AppState& state);

void pollUpdater(AppState& state);
// After the main loop: starts the replaced program when the user asked.
void runPendingInstaller(AppState& state);
// The folder a new private download folder is made in, by install kind.
std::string updateDownloadFolder(AppState& state);
// Hands one job to the worker, starting it on first use; false while one is
// outstanding or once the worker was told to stop.
bool submitUpdaterRequest(AppState& state, UpdaterJob job);
// Stops a running download (its file removed) and wakes the worker to end;
// joinUpdater then waits for it.
void stopUpdater(AppState& state);
void joinUpdater(AppState& state);

// "1 KB" to "1023 KB", then "1.0 MB" upwards.
std::string formatDownloadSize(int64_t bytes);

}  // namespace qm
