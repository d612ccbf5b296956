#include "kit_harness.h"

#include "app/settings.h"
#include "ui/theme.h"

#include <cmath>

namespace qm::testing {

const FontSet& kitFonts()
{
    static const FontSet* fonts = [] {
        mockgl::install();
        mockgl::state.recording = false;
        return new FontSet(loadBuiltinFonts());
    }();
    return *fonts;
}

namespace {

AppState& fillState(AppState& state, const UiHarness& h)
{
    state.window = h.window;
    state.ui = h.ctx;
    state.renderer = h.renderer;
    state.fonts = kitFonts();
    state.store = newLocalStore("");
    state.pictures = std::make_shared<PictureCache>();
    state.todayDate = date(2025, 3, 12);
    return state;
}

}  // namespace

KitHarness::KitHarness(int32_t width, int32_t height, double scale)
    : h(width, height, scale)
    , budget(*fillState(state, h).store->budget)
    , pictures(*state.pictures)
{
    h.ctx->font = state.fonts.sans400;
    h.ctx->font2 = state.fonts.sans600;
    pictures.upload = [](const Image& img) {
        auto t = std::make_shared<Texture>();
        t->width = img.width;
        t->height = img.height;
        t->name = 777;
        return t;
    };
    pictures.release = [](Texture&) {};
    pictures.now = [] { return 1000.0; };
}

std::vector<std::string> KitHarness::errors() const
{
    std::vector<std::string> out;
    for (const Toast& t : state.toasts)
        if (t.kind == toastError)
            out.push_back(t.text);
    return out;
}

void KitHarness::dark() { fillDarkTheme(h.ctx->theme); }

bool inside(const Rect& outer, const Rect& inner, double slack)
{
    return inner.x >= outer.x - slack && inner.y >= outer.y - slack && inner.x + inner.w <= outer.x + outer.w + slack
        && inner.y + inner.h <= outer.y + outer.h + slack;
}

std::vector<Color> fillsOn(const std::vector<Shape>& shapes, const Rect& rect, double tolerance)
{
    std::vector<Color> out;
    for (const Shape& s : shapes)
        if ((s.mode == modeFlat || s.mode == modeRoundRect) && std::fabs(s.rect.x - rect.x) < tolerance
            && std::fabs(s.rect.y - rect.y) < tolerance && std::fabs(s.rect.w - rect.w) < tolerance
            && std::fabs(s.rect.h - rect.h) < tolerance)
            out.push_back(s.color);
    return out;
}

std::vector<Shape> glyphsIn(const std::vector<Shape>& shapes, const Rect& rect)
{
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (s.mode == modeText && inside(rect, s.bounds, 2))
            out.push_back(s);
    return out;
}

std::vector<Shape> texturesIn(const std::vector<Shape>& shapes, const Rect& rect)
{
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (s.mode == modeTexture && inside(rect, s.bounds, 1))
            out.push_back(s);
    return out;
}

}  // namespace qm::testing

namespace qm::testing {

uint32_t glyphTextureIn(const Renderer& r, const Rect& rect)
{
    for (const auto& layer : r.layers)
        for (const DrawCommand& c : layer)
            for (int32_t i = c.first; i < c.first + c.count; ++i) {
                const Vertex& v = r.vertices[size_t(i)];
                if (int(v.q[2]) == modeText && v.pos[0] >= rect.x && v.pos[0] <= rect.x + rect.w && v.pos[1] >= rect.y
                    && v.pos[1] <= rect.y + rect.h)
                    return c.texture;
            }
    return 0;
}

std::vector<WidgetRecord> recordsStarting(const UiHarness& h, const std::string& prefix)
{
    std::vector<WidgetRecord> out;
    for (const WidgetRecord& w : h.ctx->recorder->records)
        if (w.label.rfind(prefix, 0) == 0)
            out.push_back(w);
    return out;
}

}  // namespace qm::testing
