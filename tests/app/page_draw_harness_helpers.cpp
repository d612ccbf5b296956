#include "app/page_draw_harness.h"

#include <stdexcept>

#include "platform/keys.h"
#include "ui/input.h"
#include "ui/tooltip.h"

namespace qm::testing {

PageDrawHarness::PageDrawHarness(int32_t width, int32_t height)
    : app(width, height)
{
    app.env.set("QUENMRK_PAGE", std::nullopt);
}

AppState& PageDrawHarness::start()
{
    app.start();
    app.state->ui->recorder = std::make_unique<WidgetRecorder>();
    return *app.state;
}

Rect PageDrawHarness::viewRect() const { return {0, 0, app.state->ui->viewWidth, app.state->ui->viewHeight}; }

void PageDrawHarness::frame(const std::function<void()>& body)
{
    UiContext& c = ui();
    beginFrame(c, 1.0 / 60.0);
    if (body)
        body();
    else if (page)
        page();
    drawTooltip(c);
    endFrame(c);
}

void PageDrawHarness::frames(int n, const std::function<void()>& body)
{
    for (int i = 0; i < n; ++i)
        frame(body);
}

namespace {

WindowEvent pointerEvent(const UiContext& ui, uint8_t kind)
{
    WindowEvent e;
    e.kind = kind;
    e.x = ui.pointerX;
    e.y = ui.pointerY;
    e.button = 1;
    return e;
}

}  // namespace

void PageDrawHarness::move(double x, double y)
{
    WindowEvent e = pointerEvent(ui(), weMouseMove);
    e.x = x;
    e.y = y;
    app.feed(e);
}

void PageDrawHarness::press() { app.feed(pointerEvent(ui(), weMouseDown)); }

void PageDrawHarness::release() { app.feed(pointerEvent(ui(), weMouseUp)); }

void PageDrawHarness::click(double x, double y) { app.click(x, y); }

void PageDrawHarness::key(uint8_t k, uint8_t modifiers)
{
    for (uint8_t kind : {weKeyDown, weKeyUp}) {
        WindowEvent e;
        e.kind = kind;
        e.key = k;
        e.modifiers = modifiers;
        app.feed(e);
    }
}

void PageDrawHarness::type(std::string_view text)
{
    for (char ch : text) {
        WindowEvent e;
        e.kind = weText;
        e.codepoint = uint8_t(ch);
        app.feed(e);
    }
}

void PageDrawHarness::wheel(double dy)
{
    WindowEvent e = pointerEvent(ui(), weScroll);
    e.dy = dy;
    app.feed(e);
}

const WidgetRecord* PageDrawHarness::widget(const std::string& label) const
{
    const WidgetRecord* found = nullptr;
    for (const WidgetRecord& r : app.state->ui->recorder->records)
        if (r.label == label && (!found || r.layer >= found->layer))
            found = &r;
    return found;
}

std::vector<std::string> PageDrawHarness::labelsStartingWith(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const WidgetRecord& r : app.state->ui->recorder->records)
        if (r.label.rfind(prefix, 0) == 0)
            out.push_back(r.label);
    return out;
}

void PageDrawHarness::clickWidget(const std::string& label)
{
    const WidgetRecord* w = widget(label);
    if (!w)
        throw std::runtime_error("no widget " + label);
    click(w->rect.x + w->rect.w / 2, w->rect.y + w->rect.h / 2);
    frame();
    frame();
}

std::vector<Shape> PageDrawHarness::shapes() const { return shapesOf(*app.state->renderer); }

std::vector<Shape> PageDrawHarness::withColor(int mode, Color color) const
{
    std::vector<Shape> out;
    for (const Shape& s : shapes())
        if (s.mode == mode && sameColor(s.color, color))
            out.push_back(s);
    return out;
}

}  // namespace qm::testing
