#pragma once
// Steps of the glyph atlas that the oracle tools and tests reach directly.
#include <cstdint>
#include <vector>

#include "codecs/font/font.h"
#include "codecs/font/glyph_outline.h"
#include "platform/render/rasterizer.h"

namespace qm {

// One glyph's coverage bitmap before packing, with a transparent border.
struct GlyphBitmap {
    int32_t width = 0;  // 0 without a bitmap
    int32_t height = 0;
    double xOffset = 0;
    double yOffset = 0;
    double advance = 0;
    std::vector<uint8_t> pixels;
};

// Renders a glyph at a pixel size: contours walked into lines, quadratics and
// cubics, filled with non-zero winding.
GlyphBitmap renderGlyphBitmap(Font& font, int32_t glyph, int32_t pixelSize, double coveragePower);

// Adds a glyph's contours to a rasteriser the way renderGlyphBitmap walks
// them, with font point (x, y) at (x * scale - xOffset, -y * scale - yOffset).
void addGlyphContours(Rasterizer& raster, const GlyphOutline& outline, double scale, double xOffset, double yOffset);

}  // namespace qm
