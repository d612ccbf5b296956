#pragma once
// Glyph outlines in font units (y up): contours of points, with the glyph's
// horizontal metrics and bounds, computed once per glyph and kept in the
// Font's outline cache.
#include <cstdint>
#include <utility>
#include <vector>

namespace qm {

struct Font;

struct OutlinePoint {
    double x = 0;
    double y = 0;
    uint8_t onCurve = 1;
    uint8_t cubic = 0;
};

// Every contour is closed: nothing stores the segment that returns to its
// start point.
// TrueType contours keep consecutive off-curve points as they are (quadratic
// B-spline control points); CFF contours have exactly two cubic control
// points between on-curve points.
using Contour = std::vector<OutlinePoint>;
using Contours = std::vector<Contour>;

struct GlyphOutline {
    Contours contours;
    double advance = 0;
    double lsb = 0;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

struct Point2 {
    double x = 0;
    double y = 0;
};

// The cached outline of a glyph, decoding it on first use. The reference stays
// valid as long as the Font does; copy it to change it.
const GlyphOutline& glyphOutline(Font& font, int32_t glyph);

// (absolute offset, length) of a glyph's glyf data, always inside the font
// data: (0, 0) without glyf/loca or for a glyph outside the loca table.
std::pair<int32_t, int32_t> locaRange(const Font& font, int32_t glyph);

// The cubic Bezier through p0..p3 at t, and its derivative: the glyph
// rasteriser flattens CFF curves with them.
Point2 cubicPoint(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t);
Point2 cubicTangent(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t);

}  // namespace qm
