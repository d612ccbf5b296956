#pragma once
// One page's drawing alone, in a whole AppState over a fake window, for the
// areas whose pages the shell's page table does not hold in tests: events go
// straight to the toolkit, a frame runs only the drawing given to it (or the
// page's own), and the widgets and shapes of the last frame can be read back.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_harness.h"
#include "ui/ui_harness.h"

namespace qm::testing {

struct PageDrawHarness {
    AppHarness app;
    // What a frame draws when given nothing.
    std::function<void()> page;

    // Builds nothing yet: the environment may be set first.
    PageDrawHarness(int32_t width, int32_t height);
    // Starts the state with the widget recorder on.
    AppState& start();

    AppState& state() { return *app.state; }
    UiContext& ui() { return *app.state->ui; }
    Rect viewRect() const;

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
    // The last frame's shapes of this mode and colour.
    std::vector<Shape> withColor(int mode, Color color) const;
};

}  // namespace qm::testing
