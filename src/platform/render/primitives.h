#pragma once
// What the UI draws with: each shape becomes one quad (or a few) on the
// renderer, anti-aliased by the shader; text is drawn glyph by glyph from a
// glyph atlas at whole-pixel positions, so atlas texels land 1:1 on screen.
#include <string_view>
#include <utility>
#include <vector>

#include "platform/render/renderer.h"

namespace qm {

void fillRect(Renderer& r, const Rect& rect, Color color);
// A radius of 0.5 or less is a plain rectangle; larger radii are capped at
// half the shorter side.
void fillRoundRect(Renderer& r, const Rect& rect, double radius, Color color);
void strokeRoundRect(Renderer& r, const Rect& rect, double radius, double lineWidth, Color color);
void strokeRect(Renderer& r, const Rect& rect, double lineWidth, Color color);
// The radius is used as given; blur 0 gives a hard edge.
void drawShadowRect(Renderer& r, const Rect& rect, double radius, double blur, Color color);
void fillCircle(Renderer& r, double cx, double cy, double radius, Color color);
void strokeCircle(Renderer& r, double cx, double cy, double radius, double lineWidth, Color color);
void drawLine(Renderer& r, double x0, double y0, double x1, double y1, double lineWidth, Color color);
// Draws even with alpha 0: the shader multiplies the texture to transparent.
void drawTextureRect(
    Renderer& r, const Texture& texture, const Rect& rect, Color color, double u0, double v0, double u1, double v1);
// Falls back to one solid line when dash + gap is not a positive finite
// length or the segment would take more than 65,536 dashes.
void drawDashedLine(
    Renderer& r, double x0, double y0, double x1, double y1, double lineWidth, Color color, double dash, double gap);
void drawPolyline(
    Renderer& r, const std::vector<std::pair<double, double>>& points, double lineWidth, Color color, bool closed);
void fillConvexPolygon(Renderer& r, const std::vector<std::pair<double, double>>& points, Color color);

// Draws text with its baseline at y and returns its advance width, which is
// always textWidth's. A transparent colour only measures.
double renderText(
    Renderer& r, const GlyphAtlasRef& atlas, std::string_view text, double x, double y, double size, Color color);
// alignment: 0 left, 0.5 centred, 1 right; vertically centred on the font's
// ascent and descent.
void drawTextInRect(Renderer& r, const GlyphAtlasRef& atlas, std::string_view text, const Rect& rect, double size,
    Color color, double alignment);

}  // namespace qm
