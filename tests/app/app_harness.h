#pragma once
// A whole AppState without a display: the recording GL table, a fake
// platform window, a scratch configuration folder and a fixed desktop
// theme answer. Frames run the shell's own frame drawing.
#include <functional>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/env_helpers.h"
#include "platform/platform_window_internal.h"

namespace qm::testing {

struct AppHarness {
    TempDir dir;
    ScopedEnv env;
    std::shared_ptr<FakePlatformWindow> fake;
    AppWindowRef window;
    AppStateRef state;
    int desktopQueries = 0;
    bool desktopDark = false;

    // Builds nothing yet: tests may write files into the folder first.
    explicit AppHarness(int32_t width = 1000, int32_t height = 700);
    ~AppHarness();

    std::string configDir() const { return dir / "config/quenmrk"; }
    std::string budgetDir(const std::string& id) const { return configDir() + "/budgets/" + id; }
    AppState& start();  // newAppState over the fake window
    AppState& operator*() { return *state; }
    AppState* operator->() { return state.get(); }

    // Feeds the events, then one frame of the shell (drawFrame).
    void frame(double dt = 1.0 / 60.0);
    void frames(int n, double dt = 1.0 / 60.0);
    void feed(const WindowEvent& e);
    void click(double x, double y);
    // The last frame's record of a widget id (the state's recorder must be
    // on), and a click at its centre followed by two frames.
    const WidgetRecord* widget(const std::string& id) const;
    bool clickWidget(const std::string& id);
    void key(uint8_t key);
};

}  // namespace qm::testing
