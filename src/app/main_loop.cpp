#include "app/main_loop.h"
#include "app/main_loop_internal.h"

#include <malloc.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <new>

#include "app/account_state.h"
#include "app/app_version.h"
#include "app/budget_io.h"
#include "app/crash_handlers.h"
#include "app/demo_data.h"
#include "app/frame.h"
#include "app/icon_textures.h"
#include "app/instance_lock.h"
#include "app/navigation.h"
#include "app/page_table.h"
#include "app/paths.h"
#include "app/splash.h"
#include "app/start_switches.h"
#include "app/theme_apply.h"
#include "app/widget_list.h"
#include "codecs/image/image.h"
#include "codecs/image/png.h"
#include "core/ascii.h"
#include "core/ui_wake.h"
#include "model/transaction_edits.h"
#include "platform/platform_window.h"
#include "platform/render/gl_entry_points.h"
#include "platform/x11/x11_start.h"
#include "ui/hit_test.h"
#include "ui/input.h"
#include "ui/trail.h"

namespace qm {

namespace {

int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::string envText(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

void sleepMs(int ms) { usleep(useconds_t(ms) * 1000); }

// A minimised window draws nothing; the loop still looks at the saves and
// the close signals this often.
constexpr int64_t kMinimisedWaitNs = 30'000'000;

// A session that ends, a terminal closed or a Ctrl+C asks the program to end:
// the first such signal is taken as a close, so the save under way and the
// shutdown save finish; a second one means now.
volatile std::sig_atomic_t closeSignalled = 0;

extern "C" void onCloseSignal(int sig)
{
    if (closeSignalled) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    closeSignalled = 1;
    wakeUiThread();
}

void installCloseSignals()
{
    uiWakeFd();
    struct sigaction action { };
    action.sa_handler = onCloseSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

bool endsWith(const std::string& text, std::string_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void openFromSwitch(AppState& state, const std::string& which)
{
    const PageTable& pages = pageTable();
    auto addForm = [&](int32_t kind) {
        if (pages.openAddTransaction)
            pages.openAddTransaction(state, kind, state.todayDate);
    };
    if (which == "txform") {
        addForm(0);
    } else if (which == "txform-repeat") {
        addForm(0);
        state.txFormRepeat = true;
    } else if (which == "transfer") {
        addForm(2);
    } else if (which == "txform-error") {
        addForm(0);
        state.txFormError = "A description is needed.";
    } else if (which == "txform-error2") {
        addForm(0);
        state.txFormError = "The end date is before the start date, so no occurrence would ever fall on the "
                            "calendar: pick a later end date or clear it.";
    } else if (which == "categories" || which == "categories-error") {
        if (pages.openManageCategories)
            pages.openManageCategories(state);
        if (which == "categories-error")
            state.categoriesError = "You already have a category called Groceries";
    } else if (which == "accounts") {
        if (pages.openManageAccounts)
            pages.openManageAccounts(state);
    } else if (which == "balance") {
        if (pages.openSetRunningBalance)
            pages.openSetRunningBalance(state, state.todayDate);
    } else if (which == "merge") {
        state.merge.transactions = 14;
        state.merge.adjustments = 2;
        state.merge.window->open = true;
        state.redrawRequested = true;
    }
}

// The headless export: two frames to settle the reports page, then the
// file. Gives the failure's reason, or nothing when the file was written.
std::optional<std::string> runExportSwitch(AppState& state, const std::string& kind, const std::string& path)
{
    const PageTable& pages = pageTable();
    Date t = state.todayDate;
    const Date monthStart = firstOfMonth(t.year, t.month);
    if (pages.setReportRange)
        pages.setReportRange(state, monthStart, lastDayOfMonth(t.year, t.month));
    if (pages.setOfxRange)
        pages.setOfxRange(state, monthStart, addMonths(monthStart, 3));
    drawFrame(state, 0.016);
    showPage(state, pageReports);
    drawFrame(state, 0.016);
    ExportOutcome outcome;
    if (kind == "xlsx" || kind == "pdf") {
        if (pages.exportReportFile)
            outcome = pages.exportReportFile(state, path, kind == "pdf" ? reportFilePdf : reportFileSheet);
        else
            outcome.reason = "the reports are not available";
    } else if (kind == "ofx") {
        if (pages.exportOfxFile)
            outcome = pages.exportOfxFile(state, path);
        else
            outcome.reason = "the OFX export is not available";
    } else if (kind == "ics") {
        if (pages.exportCalendarFile)
            outcome = pages.exportCalendarFile(state, path);
        else
            outcome.reason = "the calendar export is not available";
    } else {
        outcome.reason = "unknown export kind \"" + kind + "\"";
    }
    if (outcome.written)
        return std::nullopt;
    return outcome.reason.empty() ? std::string("nothing was written") : outcome.reason;
}

void clearFrame(AppState& state)
{
    AppWindow& w = *state.window;
    const Color& bg = state.ui->theme.base[slotBackground];
    glViewport(0, 0, framebufferWidth(w), framebufferHeight(w));
    glDisable(GL_SCISSOR_TEST);
    glClearColor(bg.r, bg.g, bg.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The splash holds at full strength from here until the budget is read, and
// fades only once there is something to show under it.
constexpr double kSplashHoldSeconds = 1.8;

// The state with the splash up while the budget is read on a thread of its
// own: the first frame comes within a frame's time whatever the budget's
// size, instead of a black window for as long as the read takes.
AppStateRef startWithSplash(AppWindowRef window, const std::string& widgetListPath)
{
    AppStateRef state = newAppStateWithoutBudget(window);
    std::future<BudgetRead> reading = std::async(std::launch::async, readBudget, startBudgetFolder(*state));
    UiContext& ui = *state->ui;
    int64_t last = monotonicNs();
    bool ready = false;
    while (!ready) {
        for (const WindowEvent& e : pollEvents(*window)) {
            // No budget to save or import into yet; a close stays pending
            // for the loop, which quits at its first turn.
            if (e.kind != weSaveRequest && e.kind != weFileDrop && e.kind != weFileOpen)
                dispatchEvent(*state, e);
        }
        const int64_t now = monotonicNs();
        clearFrame(*state);
        beginFrame(ui, std::min(double(now - last) * 1e-9, 0.1));
        if (state->splashStart >= 0 && ui.time - state->splashStart > kSplashHoldSeconds)
            state->splashStart = ui.time - kSplashHoldSeconds;
        drawSplash(*state);
        endFrame(ui);
        if (!widgetListPath.empty())
            writeWidgetList(widgetListPath, ui, state->framesOnPage);
        swapBuffers(*window);
        last = now;
        ready = reading.wait_for(std::chrono::milliseconds(16)) == std::future_status::ready;
    }
    finishAppState(*state, reading.get());
    return state;
}

// Without a window there is nothing to do: one message that says what is
// missing and why each back end could not be used, then status 1. Never a
// crash report: nothing went wrong inside the program.
int refuseWithoutDisplay(const std::string& configFolder, const std::string& backend, const std::string& failure)
{
    std::string text = "Quenmark needs a graphical session: set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland).\n";
    if (envText("WAYLAND_DISPLAY").empty())
        text += "  Wayland: WAYLAND_DISPLAY is not set\n";
    if (envText("DISPLAY").empty())
        text += "  X11: DISPLAY is not set\n";
    if (!failure.empty()) {
        // The back end that failed last: X11 whenever it was tried, as it is
        // the fallback of an automatic choice.
        const std::string choice = asciiLower(backend);
        const bool wayland = choice == "wayland" || (choice != "x11" && envText("DISPLAY").empty());
        text += std::string(wayland ? "  Wayland: " : "  X11: ") + failure + "\n";
    }
    std::fputs(text.c_str(), stderr);
    if (!configFolder.empty())
        ::rmdir(joinPath(configFolder, "crash-reports").c_str());  // only when empty
    return 1;
}

}  // namespace

// A software GL driver takes and frees some megabytes for every frame it
// draws. By default the C library maps blocks that large afresh each time and
// hands the top of its heap back as soon as it is free, so every frame faults
// the same memory in again, which costs more than the drawing. Blocks up to
// 32 MiB come from the heap instead, and up to 32 MiB of free heap stay with
// the process.
void keepHeapForFrames()
{
    constexpr int kKept = 32 << 20;
    mallopt(M_MMAP_THRESHOLD, kKept);
    mallopt(M_TRIM_THRESHOLD, kKept);
}

void dispatchEvent(AppState& state, const WindowEvent& e)
{
    switch (e.kind) {
    case weMouseDown:
    case weMouseUp:
    case weDoubleClick:
    case weScroll:
    case weKeyDown:
    case weText:
        if (!state.splashActive)
            feedEvent(*state.ui, e);
        break;
    case weFileDrop:
    case weFileOpen:
        if (endsWith(asciiLower(e.text), ".ofx") || endsWith(asciiLower(e.text), ".qfx")) {
            state.fileDialogPurpose.take = importDroppedStatement;
            state.fileDialogResult = e.text;
            state.redrawRequested = true;
        }
        break;
    case weDialogResult:
        state.nativeDialogOpen = false;
        if (!e.text.empty())
            state.fileDialogResult = e.text;
        break;
    case weSaveRequest:
        saveBudget(state);
        state.syncNowRequested = true;
        break;
    default:
        feedEvent(*state.ui, e);
        break;
    }
}

bool dispatchOneFrame(AppState& state, InputQueue& input)
{
    const bool pending = input.settling || !input.waiting.empty();
    for (const WindowEvent& e : takeFrameInput(input, state.ui->textEditingLast))
        dispatchEvent(state, e);
    return pending;
}

bool shouldDraw(const PacingInput& in)
{
    bool needed =
        in.dirtyFrames > 0 || in.redrawRequested || in.dragInProgress || in.widgetHeld || in.toastsShown || in.syncing;
    return needed || in.shotPending || in.splashActive || in.nowNs - in.lastFrameNs >= kIdleFrameNs;
}

PacingInput pacingInput(
    const AppState& state, int32_t dirtyFrames, bool shotPending, int64_t nowNs, int64_t lastFrameNs)
{
    PacingInput in;
    in.dirtyFrames = dirtyFrames;
    in.redrawRequested = state.redrawRequested || state.ui->redrawRequested || state.window->redrawCounter > 0;
    in.dragInProgress = state.dragInProgress;
    in.widgetHeld = state.ui->activeId != 0;
    in.toastsShown = !state.toasts.empty();
    in.syncing = state.syncState == syncBusy;
    in.shotPending = shotPending;
    in.splashActive = state.splashActive;
    in.nowNs = nowNs;
    in.lastFrameNs = lastFrameNs;
    return in;
}

void saveScreenshot(AppState& state, const std::string& path)
{
    AppWindow& w = *state.window;
    ImagePtr image = newImage(framebufferWidth(w), framebufferHeight(w), 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, image->width, image->height, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels.data());
    flipVertical(*image);
    savePng(*image, path);
}

namespace {

// The tour's demo records belong to a running tour: one cut short (the
// window closed, the program ended another way) must not leave them in the
// user's budget. True when there were some.
bool dropDemoRecords(AppState& state)
{
    const int32_t before = state.store->change_count;
    removeDemoData(*state.store);
    return state.store->change_count != before;
}

// What the switches ask for before the first frame. The order matters: a
// page named wins over the demonstration's calendar, and an export writes
// the budget and theme the steps before it set up. Gives the failure a
// headless export ends with.
std::optional<std::string> runStartSteps(AppState& state, const StartSwitches& sw)
{
    std::optional<std::string> failure;
    const std::string& theme = sw.automation.theme;
    if (theme == "dark" || theme == "light") {
        state.settings.themeMode = theme == "dark" ? themeDark : themeLight;
        applyTheme(state, true);
    }
    if (state.tourStep < 0 && dropDemoRecords(state))
        saveBudget(state);
    if (sw.demo) {
        removeDemoData(*state.store);
        loadDemoData(*state.store, state.todayDate.year, state.todayDate.month, state.todayDate.day);
        showPage(state, pageCalendar);
    }
    if (sw.page)
        showPage(state, *sw.page);
    if (sw.welcomeMode)
        openWelcomePage(state, *sw.welcomeMode);
    if (sw.tourStep) {
        startTour(state);
        state.tourStep = *sw.tourStep;
    }
    if (sw.exportFile) {
        failure = runExportSwitch(state, sw.exportFile->kind, sw.exportFile->path);
        if (failure)
            failure = "Quenmark: export failed: " + *failure;
        state.quitRequested = true;
    }
    if (sw.view) {
        state.view = *sw.view;
        state.redrawRequested = true;
    }
    const PageTable& pages = pageTable();
    if (sw.automation.shotPath.empty() && !sw.demo && pages.autoCheckForUpdates)
        pages.autoCheckForUpdates(state);
    if (!sw.testAuth.empty()) {
        const std::string& auth = sw.testAuth;
        welcomeForm(state).email = sw.testEmail;
        welcomeForm(state).password = sw.testPassword;
        queueAccountRequest(state, auth == "signup" ? akSignup : akLogin,
            {.email = welcomeForm(state).email,
                .first_name = "Test",
                .last_name = "Run",
                .password = welcomeForm(state).password});
    }
    if (!sw.testAvatar.empty()) {
        state.fileDialogPurpose.take = pages.handleAccountPhoto;
        state.fileDialogResult = sw.testAvatar;
    }
    openFromSwitch(state, sw.open);
    if (!sw.widgetListPath.empty() && !state.ui->recorder)
        state.ui->recorder = std::make_unique<WidgetRecorder>();
    if (!sw.widgetListPath.empty() && sw.listTexts)
        listDrawnTexts();
    return failure;
}

// What one turn of the loop hands to the next.
struct LoopCarry {
    InputQueue input;
    int32_t dirtyFrames = 3;
    int64_t lastFrameTime = 0;
    int64_t lastThemeCheck = 0;
    // The window lost what it showed: the next frame is swapped in even when
    // unchanged.
    bool showDue = false;
    // Another thread handed over something (a reply, a save's end): the
    // frame that shows it is drawn without waiting for the idle redraw.
    bool woken = false;
    // The line the program ends with on standard error, and status 1.
    std::optional<std::string> failure;
};

// One turn: the saves, the input of a frame and the automation's, then a
// frame when one is due, else a wait for the next event or the idle redraw.
void runLoopTurn(AppState& state, StartSwitches& sw, LoopCarry& loop)
{
    AppWindow& window = *state.window;
    const std::string& shotPath = sw.automation.shotPath;
    pollSaves(state);
    std::vector<WindowEvent> events = pollEvents(window);
    loop.showDue = takeContentLost(window) || loop.showDue;
    loop.input.waiting.insert(loop.input.waiting.end(), events.begin(), events.end());
    bool fed = dispatchOneFrame(state, loop.input);
    // The automation's clicks are made for the frame that takes them.
    for (const WindowEvent& e :
        automationEvents(sw.automation, state.framesOnPage, state.ui->viewWidth, state.ui->viewHeight)) {
        dispatchEvent(state, e);
        fed = true;
    }
    if (window.closeRequested || closeSignalled) {
        window.closeRequested = 0;
        state.quitRequested = true;
    }
    if (isMinimised(window)) {
        // Nothing is drawn; the display's events (the window shown
        // again, a close) and a signal end the wait at once.
        waitForEvents(window, kMinimisedWaitNs);
        return;
    }
    int64_t now = monotonicNs();
    if (fed)
        loop.dirtyFrames = 3;
    if (state.settings.themeMode == themeSystem && now - loop.lastThemeCheck >= 2'000'000'000) {
        applyTheme(state, false);
        loop.lastThemeCheck = now;
    }
    if (!loop.showDue && !loop.woken
        && !shouldDraw(pacingInput(state, loop.dirtyFrames, !shotPath.empty(), now, loop.lastFrameTime))) {
        // Blocked on the display until input, a wake or the idle redraw:
        // a loop that slept and looked again cost the UI thread CPU at
        // every turn.
        loop.woken = waitForEvents(window, loop.lastFrameTime + kIdleFrameNs - now);
        return;
    }
    loop.woken = false;
    if (loop.dirtyFrames > 0)
        --loop.dirtyFrames;
    state.redrawRequested = false;
    window.redrawCounter = 0;
    double dt = double(now - loop.lastFrameTime) * 1e-9;
    // The renderer clears and draws only a frame that differs from the
    // one on screen: an idle window redraws every 66 ms, and on a
    // software renderer drawing costs tens of milliseconds a frame. A
    // screenshot reads the drawn buffer, so it is always drawn.
    Renderer& renderer = *state.ui->renderer;
    const Color& background = state.ui->theme.base[slotBackground];
    renderer.clears = true;
    renderer.clearColor = {background.r, background.g, background.b, 1.0f};
    renderer.keepUnchanged = shotPath.empty() && !loop.showDue;
    // Animations step at most a tenth of a second, so that a stalled
    // frame does not make them jump; toasts count the time as it passed.
    drawFrame(state, std::min(dt, 0.1), dt);
    if (state.ui->layoutChanged)
        state.redrawRequested = true;
    if (!sw.widgetListPath.empty())
        writeWidgetList(sw.widgetListPath, *state.ui, state.framesOnPage);
    if (!shotPath.empty() && state.framesOnPage >= sw.automation.shotFrames) {
        try {
            saveScreenshot(state, shotPath);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            loop.failure = std::string("Quenmark: could not write the screenshot: ") + e.what();
        }
        state.quitRequested = true;
    }
    if (sw.automation.testFrames > 0) {
        if (state.framesOnPage >= sw.automation.testFrames)
            state.quitRequested = true;
        state.redrawRequested = true;
        sleepMs(25);
    }
    if (!renderer.lastFrameKept)
        swapBuffers(window);
    loop.showDue = false;
    loop.lastFrameTime = now;
    // A stand-in for a slow renderer, so that tests can see what slow
    // frames do to timed things.
    if (sw.automation.frameDelayMs > 0)
        sleepMs(sw.automation.frameDelayMs);
}

// The tour's demonstration records dropped, the budget and settings saved,
// the workers stopped and an installer run; gives the exit status.
int shutDown(AppState& state, const std::optional<std::string>& failure)
{
    if (state.tourStep >= 0) {
        state.tourStep = -1;
        dropDemoRecords(state);
    }
    if (std::optional<std::string> error = trySaveBudget(state))
        std::fprintf(stderr, "Quenmark: could not save the budget: %s\n", error->c_str());
    state.settings.view = calendarViewName(state.view);
    saveSettings(state);
    const PageTable& pages = pageTable();
    if (pages.stopWorkers)
        pages.stopWorkers(state);
    if (pages.joinWorkers)
        pages.joinWorkers(state);
    if (pages.runPendingInstaller)
        pages.runPendingInstaller(state);
    if (failure) {
        std::fprintf(stderr, "%s\n", failure->c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int runMainLoop(AppState& state, StartSwitches sw)
{
    LoopCarry loop;
    loop.failure = runStartSteps(state, sw);
    loop.lastFrameTime = monotonicNs();
    loop.lastThemeCheck = loop.lastFrameTime;
    if (!state.storeSaver)
        state.storeSaver = newStoreSaver();
    while (!state.quitRequested)
        runLoopTurn(state, sw, loop);
    return shutDown(state, loop.failure);
}

int appMain()
{
    StartSwitches sw = readStartSwitches();
    // Checked before anything is created in the configuration folder; a back
    // end asked for by name is left to say for itself why it cannot start.
    if (sw.backend.empty() && envText("DISPLAY").empty() && !waylandAvailable())
        return refuseWithoutDisplay("", sw.backend, "");
    keepHeapForFrames();
    std::string folder = configDir();
    installCrashHandlers(folder, std::string(kAppVersion));
    installCloseSignals();
    InstanceLock lock = acquireInstanceLock(folder, 3.0);
    if (lock.outcome == LockOutcome::busy) {
        std::fprintf(stderr, "Quenmark: another copy of the program is using %s\n", folder.c_str());
        return 1;
    }
    startPlatform();
    AppWindowRef window;
    try {
        const AutomationSwitches& size = sw.automation;
        window = newAppWindow("Quenmark", size.windowWidth, size.windowHeight, size.windowMaximised);
    } catch (const OSError& e) {
        releaseInstanceLock(lock);
        return refuseWithoutDisplay(folder, sw.backend, e.what());
    }
    AppStateRef state = splashWanted() ? startWithSplash(window, sw.widgetListPath) : newAppState(window);
    int status = runMainLoop(*state, std::move(sw));
    closeWindow(*window);
    state.reset();
    window.reset();
    releaseIconTextures();
    freeTrail();
    releaseInstanceLock(lock);
    return status;
}

}  // namespace qm
