#pragma once
// Glyph outlines in font units (y up): contours of points, with the glyph's
// horizontal metrics and bounds, computed once per glyph and kept in the
// Font's outline cache.
#include <cstddef>
#include <cstdint>
#include <span>
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
using Contour = std::span<const OutlinePoint>;

// The contours of a glyph back to back in one array, so an outline costs the
// same few allocations however many contours it has. Contour k holds the
// points from ends[k - 1] (0 for the first) up to, not including, ends[k];
// no contour is empty.
struct Contours {
    std::vector<OutlinePoint> points;
    std::vector<uint32_t> ends;

    size_t size() const { return ends.size(); }
    bool empty() const { return ends.empty(); }
    size_t startOf(size_t k) const { return k == 0 ? 0 : ends[k - 1]; }
    Contour operator[](size_t k) const { return Contour(points).subspan(startOf(k), ends[k] - startOf(k)); }
    std::span<OutlinePoint> operator[](size_t k)
    {
        return std::span<OutlinePoint>(points).subspan(startOf(k), ends[k] - startOf(k));
    }

    struct Iterator {
        const Contours* contours;
        size_t k;
        Contour operator*() const { return (*contours)[k]; }
        Iterator& operator++()
        {
            ++k;
            return *this;
        }
        bool operator==(const Iterator& other) const { return k == other.k; }
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, ends.size()}; }
};

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
// valid until the next call for another glyph of the same Font (the cache is
// bounded and may drop older entries then); copy it to keep or change it.
const GlyphOutline& glyphOutline(Font& font, int32_t glyph);

// Empties the Font's outline cache.
void clearOutlineCache(Font& font);

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
