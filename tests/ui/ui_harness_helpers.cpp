#include "ui_harness.h"

#include "codecs/font/builtin_fonts.h"
#include "codecs/font/font.h"
#include "core/utf8.h"
#include "ui/input.h"
#include "ui/tooltip.h"

#include <cmath>
#include <cstring>

namespace qm::testing {

namespace {

GlyphAtlasRef builtinAtlas(BuiltinFont which) { return newGlyphAtlas(parseTrueType(builtinFontFile(which)), 1024); }

}  // namespace

UiHarness::UiHarness(int32_t width, int32_t height, double scale)
{
    mockgl::install();
    mockgl::state.recording = false;
    PlatformWindowRef platform = newFakePlatformWindow();
    fake = platform->fake;
    fake->width = width;
    fake->height = height;
    fake->scale = scale;
    window = newAppWindowOn(platform, "test");
    renderer = newRenderer();
    ctx =
        newUiContext(window, renderer, builtinAtlas(BuiltinFont::sansRegular), builtinAtlas(BuiltinFont::sansSemiBold));
}

UiHarness::~UiHarness() = default;

void UiHarness::setSize(int32_t width, int32_t height)
{
    fake->width = width;
    fake->height = height;
    window->width = width;
    window->height = height;
}

void UiHarness::setScale(double scale)
{
    fake->scale = scale;
    window->scale = scale;
}

void UiHarness::recordWidgets() { ctx->recorder = std::make_unique<WidgetRecorder>(); }

void UiHarness::event(const WindowEvent& e) { queue.push_back(e); }

void UiHarness::move(double x, double y)
{
    WindowEvent e;
    e.kind = weMouseMove;
    e.x = x;
    e.y = y;
    event(e);
    lastX = x;
    lastY = y;
}

void UiHarness::press(uint8_t button, uint8_t modifiers)
{
    WindowEvent e;
    e.kind = weMouseDown;
    e.x = lastX;
    e.y = lastY;
    e.button = button;
    e.modifiers = modifiers;
    event(e);
}

void UiHarness::release(uint8_t button, uint8_t modifiers)
{
    WindowEvent e;
    e.kind = weMouseUp;
    e.x = lastX;
    e.y = lastY;
    e.button = button;
    e.modifiers = modifiers;
    event(e);
}

void UiHarness::click(double x, double y, uint8_t button)
{
    move(x, y);
    press(button);
    release(button);
}

void UiHarness::key(uint8_t k, uint8_t modifiers)
{
    WindowEvent e;
    e.kind = weKeyDown;
    e.key = k;
    e.modifiers = modifiers;
    event(e);
    e.kind = weKeyUp;
    event(e);
}

void UiHarness::type(std::string_view utf8, uint8_t modifiers)
{
    for (size_t at = 0; at < utf8.size();) {
        Utf8Step step = decodeUtf8(utf8, at);
        at += step.length;
        WindowEvent e;
        e.kind = weText;
        e.codepoint = int32_t(step.codePoint);
        e.modifiers = modifiers;
        event(e);
    }
}

void UiHarness::wheel(double dy)
{
    WindowEvent e;
    e.kind = weScroll;
    e.x = lastX;
    e.y = lastY;
    e.dy = dy;
    event(e);
}

void UiHarness::touchScroll(double x, double y, double dy, bool first)
{
    WindowEvent e;
    e.kind = weTouchScroll;
    e.x = x;
    e.y = y;
    e.dy = dy;
    e.repeat = first ? 0 : 1;
    e.fromTouch = 1;
    event(e);
}

void UiHarness::frame(const std::function<void()>& widgets)
{
    for (const WindowEvent& e : queue)
        feedEvent(*ctx, e);
    queue.clear();
    beginFrame(*ctx, dt);
    if (widgets)
        widgets();
    drawTooltip(*ctx);
    endFrame(*ctx);
}

void UiHarness::frames(int n, const std::function<void()>& widgets)
{
    for (int i = 0; i < n; ++i)
        frame(widgets);
}

std::vector<Shape> UiHarness::shapes() const { return shapesOf(*renderer); }

std::vector<Shape> shapesOf(const Renderer& r)
{
    std::vector<Shape> out;
    auto shapeFrom = [&](size_t first, size_t n, int32_t layer, const DrawCommand& c) {
        Shape s;
        const Vertex& v = r.vertices[first];
        double x0 = v.pos[0], y0 = v.pos[1], x1 = x0, y1 = y0;
        for (size_t i = first; i < first + n; ++i) {
            x0 = std::min<double>(x0, r.vertices[i].pos[0]);
            y0 = std::min<double>(y0, r.vertices[i].pos[1]);
            x1 = std::max<double>(x1, r.vertices[i].pos[0]);
            y1 = std::max<double>(y1, r.vertices[i].pos[1]);
        }
        s.mode = int(v.q[2]);
        s.bounds = {x0, y0, x1 - x0, y1 - y0};
        s.color = {v.color[0] / 255.0f, v.color[1] / 255.0f, v.color[2] / 255.0f, v.color[3] / 255.0f};
        s.layer = layer;
        s.clipped = c.clipped;
        s.clip = c.clip;
        s.p = {v.p[0], v.p[1], v.p[2], v.p[3]};
        s.q = {v.q[0], v.q[1]};
        bool centred = s.mode == modeRoundRect || s.mode == modeRoundOutline || s.mode == modeShadow;
        s.rect = centred ? Rect{s.p[0] - s.p[2], s.p[1] - s.p[3], 2.0 * s.p[2], 2.0 * s.p[3]} : s.bounds;
        return s;
    };
    for (size_t layer = 0; layer < r.layers.size(); ++layer) {
        for (const DrawCommand& c : r.layers[layer]) {
            size_t i = size_t(c.first), end = size_t(c.first + c.count);
            while (i < end) {
                // pushQuad's six vertices repeat corners 0 and 2; anything else
                // is a lone triangle of a fan.
                bool quad = i + 6 <= end && std::memcmp(&r.vertices[i], &r.vertices[i + 3], sizeof(Vertex)) == 0
                    && std::memcmp(&r.vertices[i + 2], &r.vertices[i + 4], sizeof(Vertex)) == 0;
                size_t n = quad ? 6 : 3;
                out.push_back(shapeFrom(i, std::min(n, end - i), int32_t(layer), c));
                i += n;
            }
        }
    }
    return out;
}

std::vector<Shape> UiHarness::shapesOfMode(int mode) const
{
    std::vector<Shape> out;
    for (const Shape& s : shapes())
        if (s.mode == mode)
            out.push_back(s);
    return out;
}

const WidgetRecord* UiHarness::widget(const std::string& label) const
{
    if (!ctx->recorder)
        return nullptr;
    for (const WidgetRecord& w : ctx->recorder->records)
        if (w.label == label)
            return &w;
    return nullptr;
}

Rect UiHarness::rectOf(const std::string& label) const
{
    const WidgetRecord* w = widget(label);
    return w ? w->rect : Rect{-1, -1, 0, 0};
}

void UiHarness::clickWidget(const std::string& label, uint8_t button)
{
    Rect r = rectOf(label);
    click(r.x + r.w / 2, r.y + r.h / 2, button);
}

std::vector<Color> fillsAt(const std::vector<Shape>& shapes, const Rect& rect)
{
    std::vector<Color> out;
    for (const Shape& s : shapes) {
        if (s.mode == modeText)
            continue;
        if (s.mode == modeShadow || s.mode == modeLine)
            continue;
        if (std::fabs(s.rect.x - rect.x) < 0.01 && std::fabs(s.rect.y - rect.y) < 0.01
            && std::fabs(s.rect.w - rect.w) < 0.01 && std::fabs(s.rect.h - rect.h) < 0.01)
            out.push_back(s.color);
    }
    return out;
}

bool sameColor(Color a, Color b, float tolerance)
{
    return std::fabs(a.r - b.r) <= tolerance && std::fabs(a.g - b.g) <= tolerance && std::fabs(a.b - b.b) <= tolerance
        && std::fabs(a.a - b.a) <= tolerance;
}

}  // namespace qm::testing
