#include "app/stand_in_pages.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/budget_io.h"
#include "app/navigation.h"
#include "app/theme_apply.h"
#include "core/files.h"
#include "platform/render/primitives.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/text.h"
#include "ui/widget_id.h"

namespace qm {

namespace {

// QUENMRK_STUB_LOG set: the stand-in page reports the presses and releases
// it sees, with the frame count, so tests can check injected input.
bool stubLogging()
{
    const char* v = std::getenv("QUENMRK_STUB_LOG");
    return v && *v;
}

int& stubClicks()
{
    static int clicks = 0;
    return clicks;
}

void stubPage(AppState& state, const Rect& content)
{
    UiContext& ui = *state.ui;
    const Theme& t = ui.theme;
    Rect title{
        content.x + dp(*state.ui, 24), content.y + dp(*state.ui, 24), content.w - dp(*state.ui, 48), dp(*state.ui, 28)};
    uiDrawText(ui, pageKindName(state.page) + " (stand-in page)", title, 0, t.base[slotText], 0, 1);
    Rect rect{title.x, title.y + dp(*state.ui, 40), dp(*state.ui, 160), dp(*state.ui, 34)};
    if (drawButton(ui, widgetId(ui, "stub-button"), "Stand-in button", rect, {.style = buttonPrimary}))
        ++stubClicks();
    if (stubClicks() > 0) {
        Rect mark{rect.x + rect.w + dp(*state.ui, 16), rect.y, rect.h, rect.h};
        fillRoundRect(*state.renderer, mark, dp(*state.ui, 6), t.base[slotSuccess]);
        Rect text{mark.x + mark.w + dp(*state.ui, 10), rect.y, dp(*state.ui, 240), rect.h};
        uiDrawText(ui, "Clicked " + std::to_string(stubClicks()), text, 0, t.base[slotText], 0, 0);
    }
    if (stubLogging()) {
        if (state.framesOnPage == 0)
            std::fprintf(stderr, "stub: page %s\n", pageKindName(state.page).c_str());
        // The point is written with to_chars: a decimal comma would run into the separator.
        auto note = [&](const char* what) {
            char x[32], y[32];
            *std::to_chars(x, x + sizeof x - 1, ui.pointerX).ptr = 0;
            *std::to_chars(y, y + sizeof y - 1, ui.pointerY).ptr = 0;
            std::fprintf(stderr, "stub: %s %s,%s frame %d\n", what, x, y, state.framesOnPage);
        };
        if (ui.buttonsPressed[1])
            note("press");
        if (ui.buttonsReleased[1])
            note("release");
        if (ui.pointerX != ui.lastPointerX || ui.pointerY != ui.lastPointerY)
            note("move");
    }
}

Rect stubHeaderBar(AppState& state)
{
    UiContext& ui = *state.ui;
    double h = dp(*state.ui, 52);
    fillRect(*state.renderer, {0, 0, ui.viewWidth, h}, ui.theme.base[slotSurface]);
    fillRect(*state.renderer, {0, h - 1, ui.viewWidth, 1}, ui.theme.base[slotBorder]);
    uiDrawText(ui, "Quenmark", {dp(*state.ui, 16), 0, dp(*state.ui, 200), h}, 0, ui.theme.base[slotText], 0, 1);
    return {0, h, ui.viewWidth, std::max(0.0, ui.viewHeight - h)};
}

ExportOutcome stubExport(AppState& state, const std::string& path, const std::string& what)
{
    try {
        writeFileAtomic(path, "Quenmark stand-in " + what + " export\n");
    } catch (const IOError& e) {
        showError(state, std::string("Could not save the file: ") + e.what());
        return {false, e.what()};
    }
    size_t slash = path.rfind('/');
    showToast(state, "Saved " + path.substr(slash == std::string::npos ? 0 : slash + 1), toastInfo, 4.0);
    return {true, {}};
}

// A worker that stands in for the network thread: it keeps busy until told
// to stop, so shutdown has a live thread to stop and join.
struct StubWorker {
    std::mutex lock;
    std::thread thread;
    std::atomic<bool> stop{false};
};

StubWorker& stubWorker()
{
    static StubWorker worker;
    return worker;
}

void startStubWorker(AppState&)
{
    const char* v = std::getenv("QUENMRK_STUB_WORKER");
    if (!v || !*v)
        return;
    StubWorker& w = stubWorker();
    std::lock_guard<std::mutex> guard(w.lock);
    if (w.thread.joinable())
        return;
    w.stop = false;
    w.thread = std::thread([&w] {
        volatile uint64_t sink = 0;
        while (!w.stop.load()) {
            for (int i = 0; i < 100000; ++i)
                sink = sink + uint64_t(i);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

}  // namespace

PageTable standInPageTable()
{
    PageTable t;
    t.drawHeaderBar = stubHeaderBar;
    t.drawCalendarPage = stubPage;
    t.drawSearchPage = stubPage;
    t.drawReportsPage = stubPage;
    t.drawImportPage = stubPage;
    t.drawHelpPage = stubPage;
    t.drawAccountPage = stubPage;
    t.drawWelcomePage = stubPage;
    t.drawLegalPage = stubPage;
    t.exportReportFile = [](AppState& s, const std::string& path, int32_t kind) {
        return stubExport(s, path, kind == reportFilePdf ? "PDF" : "spreadsheet");
    };
    t.exportOfxFile = [](AppState& s, const std::string& path) { return stubExport(s, path, "OFX"); };
    t.exportCalendarFile = [](AppState& s, const std::string& path) { return stubExport(s, path, "calendar"); };
    t.loadImportFile = [](AppState&, const std::string& path) {
        if (stubLogging())
            std::fprintf(stderr, "stub: import %s\n", path.c_str());
    };
    // Nothing is kept on this device apart from an account yet: the prompt
    // stays open and keeps whatever it was about.
    t.mergeDeviceBudget = [](AppState& s) {
        showError(s, "The budget on this device cannot be merged in this build");
        return false;
    };
    t.removeDeviceBudget = [](AppState& s) {
        showError(s, "The budget on this device cannot be removed in this build");
    };
    t.initNetwork = startStubWorker;
    t.stopWorkers = [](AppState&) { stubWorker().stop = true; };
    t.joinWorkers = [](AppState&) {
        StubWorker& w = stubWorker();
        std::lock_guard<std::mutex> guard(w.lock);
        if (w.thread.joinable())
            w.thread.join();
    };
    return t;
}

}  // namespace qm
