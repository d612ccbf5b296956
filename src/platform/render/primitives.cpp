#include "platform/render/primitives.h"

#include "codecs/font/cmap.h"
#include "core/utf8.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr std::array<double, 4> kNoShape{0, 0, 0, 0};
constexpr double kMaxDashes = 65536;

void whiteQuad(Renderer& r, double x0, double y0, double x1, double y1, Color color, const std::array<double, 4>& p,
    double qx, double qy, ShapeMode mode)
{
    pushQuad(r, x0, y0, x1, y1, color, p, qx, qy, float(mode), r.whiteTextureName, 0, 0, 1, 1);
}

std::array<double, 4> centreAndHalfSize(const Rect& rect)
{
    return {rect.x + rect.w / 2, rect.y + rect.h / 2, rect.w / 2, rect.h / 2};
}

void noteAtlas(Renderer& r, const GlyphAtlasRef& atlas)
{
    if (std::find(r.frameAtlases.begin(), r.frameAtlases.end(), atlas) == r.frameAtlases.end())
        r.frameAtlases.push_back(atlas);
}

}  // namespace

void fillRect(Renderer& r, const Rect& rect, Color color)
{
    if (color.a <= 0)
        return;
    whiteQuad(r, rect.x, rect.y, rect.x + rect.w, rect.y + rect.h, color, kNoShape, 0, 0, modeFlat);
}

void fillRoundRect(Renderer& r, const Rect& rect, double radius, Color color)
{
    if (color.a <= 0)
        return;
    if (radius <= 0.5) {
        fillRect(r, rect, color);
        return;
    }
    double rad = std::min(radius, std::min(rect.w, rect.h) / 2);
    whiteQuad(r, rect.x - 1, rect.y - 1, rect.x + rect.w + 1, rect.y + rect.h + 1, color, centreAndHalfSize(rect), rad,
        0, modeRoundRect);
}

void strokeRoundRect(Renderer& r, const Rect& rect, double radius, double lineWidth, Color color)
{
    if (color.a <= 0)
        return;
    double rad = std::min(radius, std::min(rect.w, rect.h) / 2);
    whiteQuad(r, rect.x - 1, rect.y - 1, rect.x + rect.w + 1, rect.y + rect.h + 1, color, centreAndHalfSize(rect), rad,
        lineWidth, modeRoundOutline);
}

void strokeRect(Renderer& r, const Rect& rect, double lineWidth, Color color)
{
    if (color.a <= 0)
        return;
    double rad = std::min(std::min(rect.w, rect.h) / 2, 0.0);
    whiteQuad(r, rect.x - 1, rect.y - 1, rect.x + rect.w + 1, rect.y + rect.h + 1, color, centreAndHalfSize(rect), rad,
        lineWidth, modeRoundOutline);
}

void drawShadowRect(Renderer& r, const Rect& rect, double radius, double blur, Color color)
{
    if (color.a <= 0)
        return;
    whiteQuad(r, rect.x - blur, rect.y - blur, rect.x + rect.w + blur, rect.y + rect.h + blur, color,
        centreAndHalfSize(rect), radius, blur, modeShadow);
}

void fillCircle(Renderer& r, double cx, double cy, double radius, Color color)
{
    if (color.a <= 0)
        return;
    fillRoundRect(r, Rect{cx - radius, cy - radius, 2 * radius, 2 * radius}, radius, color);
}

void strokeCircle(Renderer& r, double cx, double cy, double radius, double lineWidth, Color color)
{
    if (color.a <= 0)
        return;
    double e = radius + lineWidth + 1;
    whiteQuad(r, cx - e, cy - e, cx + e, cy + e, color, {cx, cy, radius, 0}, 0, lineWidth, modeRing);
}

void drawLine(Renderer& r, double x0, double y0, double x1, double y1, double lineWidth, Color color)
{
    if (color.a <= 0)
        return;
    double grow = 1 + lineWidth / 2;
    whiteQuad(r, std::min(x0, x1) - grow, std::min(y0, y1) - grow, std::max(x0, x1) + grow, std::max(y0, y1) + grow,
        color, {x0, y0, x1, y1}, lineWidth / 2, 0, modeLine);
}

void drawTextureRect(
    Renderer& r, const Texture& texture, const Rect& rect, Color color, double u0, double v0, double u1, double v1)
{
    pushQuad(r, rect.x, rect.y, rect.x + rect.w, rect.y + rect.h, color, kNoShape, 0, 0, float(modeTexture),
        texture.name, u0, v0, u1, v1);
}

void drawDashedLine(
    Renderer& r, double x0, double y0, double x1, double y1, double lineWidth, Color color, double dash, double gap)
{
    double dx = x1 - x0, dy = y1 - y0;
    double length = std::sqrt(dx * dx + dy * dy);
    if (color.a <= 0 || !(length >= 1e-9))
        return;
    double period = dash + gap;
    // A loop that would not advance, or would queue millions of quads, draws
    // the segment solid instead.
    if (!(period > 0) || !std::isfinite(period) || length / period > kMaxDashes) {
        drawLine(r, x0, y0, x1, y1, lineWidth, color);
        return;
    }
    double ux = dx / length, uy = dy / length;
    for (double s = 0; s < length;) {
        double end = std::min(s + dash, length);
        drawLine(r, x0 + ux * s, y0 + uy * s, x0 + ux * end, y0 + uy * end, lineWidth, color);
        double next = end + gap;
        if (!(next > s))
            break;  // a negative gap would walk back over the same dash forever
        s = next;
    }
}

void drawPolyline(
    Renderer& r, const std::vector<std::pair<double, double>>& points, double lineWidth, Color color, bool closed)
{
    if (points.size() < 2 || color.a <= 0)
        return;
    for (size_t i = 0; i + 1 < points.size(); ++i)
        drawLine(r, points[i].first, points[i].second, points[i + 1].first, points[i + 1].second, lineWidth, color);
    if (closed)
        drawLine(r, points.back().first, points.back().second, points[0].first, points[0].second, lineWidth, color);
}

void fillConvexPolygon(Renderer& r, const std::vector<std::pair<double, double>>& points, Color color)
{
    if (points.size() < 3)
        return;
    setDrawState(r, r.whiteTextureName);
    for (size_t i = 1; i + 1 < points.size(); ++i) {
        for (const auto& [x, y] : {points[0], points[i], points[i + 1]})
            pushVertex(r, x, y, 0, 0, color, kNoShape, 0, 0, float(modeFlat));
    }
}

double renderText(
    Renderer& r, const GlyphAtlasRef& atlas, std::string_view text, double x, double y, double size, Color color)
{
    if (color.a <= 0 || text.empty())
        return textWidth(*atlas, text, size);
    noteAtlas(r, atlas);
    int32_t pixelSize = atlasPixelSize(size);
    double baseline = std::round(y);
    setDrawState(r, atlas->texture->name);
    // The pen is kept as the distance from x, summed exactly as textWidth
    // sums it, so the returned width is textWidth's to the last bit.
    double advance = 0;
    int32_t previous = 0;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        int32_t g = glyphIndex(*atlas->font, int32_t(step.codePoint));
        if (previous != 0)
            advance += kerningPixels(*atlas, previous, g, size);
        GlyphEntry entry = getGlyph(*atlas, g, pixelSize);
        if (entry.bitmapWidth >= 1 && entry.bitmapHeight >= 1) {
            setDrawState(r, atlas->texture->name);
            double gx = std::round(x + advance) + entry.xOffset;
            double gy = baseline + entry.yOffset;
            pushQuad(r, gx, gy, gx + entry.bitmapWidth, gy + entry.bitmapHeight, color, kNoShape, 0, 0, float(modeText),
                atlas->texture->name, entry.u0, entry.v0, entry.u1, entry.v1);
        }
        advance += entry.advance;
        previous = g;
    }
    return advance;
}

void drawTextInRect(Renderer& r, const GlyphAtlasRef& atlas, std::string_view text, const Rect& rect, double size,
    Color color, double alignment)
{
    double w = textWidth(*atlas, text, size);
    double a = ascent(*atlas, size), d = descent(*atlas, size);
    renderText(r, atlas, text, rect.x + (rect.w - w) * alignment, rect.y + (rect.h - (a - d)) / 2 + a, size, color);
}

}  // namespace qm
