#pragma once
// Drives the toolkit without a display: a renderer over the recording GL
// table, the real built-in fonts, a fake platform window behind the
// AppWindow, a frame loop with a fixed step, and a read-back of what the
// last frame drew as shapes.
#include <functional>
#include <string>
#include <vector>

#include "platform/app_window.h"
#include "platform/keys.h"
#include "platform/platform_window_internal.h"
#include "platform/render/mock_gl.h"
#include "ui/context.h"

namespace qm::testing {

// One quad (or triangle) of the last frame.
struct Shape {
    int mode = 0;
    Rect bounds;  // the quad's extent
    Rect rect;    // the shape's own rect: without the anti-aliasing margin of rounded shapes
    Color color;
    int32_t layer = 0;
    bool clipped = false;
    Rect clip;
    std::array<float, 4> p{};
    std::array<float, 2> q{};
};

struct UiHarness {
    AppWindowRef window;
    std::shared_ptr<FakePlatformWindow> fake;
    RendererRef renderer;
    UiContextRef ctx;
    double dt = 1.0 / 60.0;
    std::vector<WindowEvent> queue;  // fed at the start of the next frame
    double lastX = 0, lastY = 0;

    explicit UiHarness(int32_t width = 800, int32_t height = 600, double scale = 1.0);
    ~UiHarness();

    void setSize(int32_t width, int32_t height);
    void setScale(double scale);
    void recordWidgets();  // turns the widget recorder on

    // Events, queued for the next frame.
    void event(const WindowEvent& e);
    void move(double x, double y);
    void press(uint8_t button = 1, uint8_t modifiers = 0);
    void release(uint8_t button = 1, uint8_t modifiers = 0);
    void click(double x, double y, uint8_t button = 1);  // move, press and release in one frame
    void key(uint8_t key, uint8_t modifiers = 0);
    void type(std::string_view utf8, uint8_t modifiers = 0);
    void wheel(double dy);
    void touchScroll(double x, double y, double dy, bool first);

    // Feeds the queue, then beginFrame, the widgets, drawTooltip, endFrame.
    void frame(const std::function<void()>& widgets = {});
    void frames(int n, const std::function<void()>& widgets = {});

    std::vector<Shape> shapes() const;
    std::vector<Shape> shapesOfMode(int mode) const;
    // The rect a recorded widget of this label had in the last frame.
    const WidgetRecord* widget(const std::string& label) const;
    Rect rectOf(const std::string& label) const;
    void clickWidget(const std::string& label, uint8_t button = 1);
};

// What a renderer's last frame drew, as shapes.
std::vector<Shape> shapesOf(const Renderer& renderer);
// The fill colours of the flat or rounded shapes lying exactly on rect.
std::vector<Color> fillsAt(const std::vector<Shape>& shapes, const Rect& rect);
// Read-back colours went through bytes: compare within a byte step.
bool sameColor(Color a, Color b, float tolerance = 1.01f / 255);

}  // namespace qm::testing
