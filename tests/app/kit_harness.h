#pragma once
// The widget kit over the toolkit's headless harness: an application state
// on the harness's context with the built-in font set, an unsaved budget and
// a picture cache with a fake upload.
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/picture_cache.h"
#include "ui/ui_harness.h"

namespace qm::testing {

// Parsed once for the program: six faces take a while under the sanitizers.
const FontSet& kitFonts();

struct KitHarness {
    UiHarness h;
    AppState state;
    Budget& budget;
    PictureCache& pictures;

    explicit KitHarness(int32_t width = 800, int32_t height = 600, double scale = 1.0);
    void dark();
    void frame(const std::function<void()>& widgets = {}) { h.frame(widgets); }
    double dp(double v) const { return v * h.ctx->scale; }
    // The texts of the error toasts shown so far.
    std::vector<std::string> errors() const;
};

// Colours of the flat and rounded fills lying exactly on rect (no outlines).
std::vector<Color> fillsOn(const std::vector<Shape>& shapes, const Rect& rect, double tolerance = 0.01);
// Text glyph quads of the last frame inside rect.
std::vector<Shape> glyphsIn(const std::vector<Shape>& shapes, const Rect& rect);
// Icon (texture) quads of the last frame inside rect.
std::vector<Shape> texturesIn(const std::vector<Shape>& shapes, const Rect& rect);
bool inside(const Rect& outer, const Rect& inner, double slack = 0.5);

}  // namespace qm::testing

namespace qm::testing {

// The GL texture of the first glyph quad drawn inside rect in the last frame;
// 0 when none. Tells the weight a text was drawn with.
uint32_t glyphTextureIn(const Renderer& r, const Rect& rect);
// The records of the last frame whose label starts with prefix.
std::vector<WidgetRecord> recordsStarting(const UiHarness& h, const std::string& prefix);

}  // namespace qm::testing
