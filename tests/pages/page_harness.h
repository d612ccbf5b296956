#pragma once
// The whole program headless, for tests of the pages: the shell's state over
// a fake window with the calendar pages in the page table, today pinned to
// 2025-03-12, the widget recorder on, and a log of the texts the shell's
// helpers drew in the last frame. Each harness starts with an empty local
// budget on the Calendar page.
#include <functional>
#include <string>
#include <vector>

#include "app/app_harness.h"
#include "app/page_table.h"
#include "model/budget.h"
#include "ui/ui_harness.h"

namespace qm::testing {

inline constexpr Date kPinnedToday{2025, 3, 12};

struct DrawnText {
    std::string text;
    Rect rect;
    double size = 0;
    Color color;
};

struct PageHarness {
    AppHarness app;
    std::vector<DrawnText> texts;  // of the last frame

    // sessionJson, when given, is written as session.json before the start;
    // moreEntries fills the other areas' entries of the page table (a tool
    // that links them all).
    explicit PageHarness(int32_t width = 1280, int32_t height = 820, const std::string& sessionJson = {},
        const std::function<void(PageTable&)>& moreEntries = {});
    ~PageHarness();

    AppState& operator*() { return *app.state; }
    AppState* operator->() { return app.state.get(); }
    LocalStore& store() { return *app.state->store; }
    Budget& budget() { return *app.state->store->budget; }

    void frame();
    void frames(int n);
    void click(double x, double y) { app.click(x, y); }
    void key(uint8_t k) { app.key(k); }
    // The window's new size, taken by the next frame.
    void resize(int32_t width, int32_t height);

    // The topmost widget of that label in the last frame; rectOf gives an
    // empty rect far off screen when it was not drawn.
    const WidgetRecord* widget(const std::string& label) const;
    Rect rectOf(const std::string& label) const;
    // Clicks the centre of the widget as the last frame placed it.
    void clickWidget(const std::string& label);
    std::vector<Shape> shapes() const;
    bool drewText(const std::string& text) const;
    // The texts of the toasts still shown.
    std::vector<std::string> toasts() const;
};

}  // namespace qm::testing
