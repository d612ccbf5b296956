#pragma once
// The Help page and its document view in a whole AppState over a fake
// window: events go straight to the toolkit, a frame runs only the help
// drawing given to it, and the widgets and shapes of the last frame can be
// read back.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_harness.h"
#include "docs/help_view.h"
#include "ui/ui_harness.h"

namespace qm::testing {

struct HelpHarness {
    AppHarness app;

    // helpDir names QUENMRK_HELP's folder; none gives the compiled-in pages.
    explicit HelpHarness(int32_t width = 1280, int32_t height = 820, std::optional<std::string> helpDir = std::nullopt);

    AppState& state() { return *app.state; }
    UiContext& ui() { return *app.state->ui; }
    HelpViewState& view() { return helpView(*app.state); }
    Rect viewRect() const;

    // One frame of body (the Help page over the whole view when empty).
    void frame(const std::function<void()>& body = {});
    void frames(int n, const std::function<void()>& body = {});

    void move(double x, double y);
    void press();
    void release();
    void click(double x, double y);
    void key(uint8_t key, uint8_t modifiers = 0);
    void type(std::string_view text);
    void wheel(double dy);

    // The last frame's widget with that label (the topmost when several).
    const WidgetRecord* widget(const std::string& label) const;
    std::vector<std::string> labelsStartingWith(const std::string& prefix) const;
    // A click at the widget's centre, then two frames of the page: the one
    // that takes the click and one that draws what it changed.
    void clickWidget(const std::string& label);
    std::vector<Shape> shapes() const;
};

// Writes the files of a help folder: name, text.
void writeHelpFolder(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& pages);

}  // namespace qm::testing
