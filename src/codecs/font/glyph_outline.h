#pragma once
// Glyph outlines in font units (y up): contours of points, with the glyph's
// horizontal metrics and bounds, computed once per glyph and kept in the
// Font's outline cache.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <span>
#include <unordered_map>
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
// same few allocations however many contours it has (none of its own when it
// lives in the outline cache's arena). Contour k holds the points from
// ends[k - 1] (0 for the first) up to, not including, ends[k]; no contour is
// empty.
struct Contours {
    Contours() = default;
    explicit Contours(std::pmr::memory_resource* memory)
        : points(memory)
        , ends(memory)
    {
    }

    std::pmr::vector<OutlinePoint> points;
    std::pmr::vector<uint32_t> ends;

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
    GlyphOutline() = default;
    explicit GlyphOutline(std::pmr::memory_resource* memory)
        : contours(memory)
    {
    }

    Contours contours;
    double advance = 0;
    double lsb = 0;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

// Bump allocation from a small first chunk, then chunks of a huge page each.
// Freeing one block does nothing; rewind() hands out the same chunks again,
// so a cache that fills and empties stops asking the system for memory (and
// faulting it in).
class OutlineArena final : public std::pmr::memory_resource {
public:
    void rewind();

private:
    struct Free {
        void operator()(std::byte* p) const;
    };
    struct Chunk {
        std::unique_ptr<std::byte[], Free> bytes;
        size_t size = 0;
    };
    std::vector<Chunk> chunks;
    size_t current = 0;  // the chunk being filled
    size_t used = 0;     // bytes of it handed out

    void* do_allocate(size_t bytes, size_t alignment) override;
    void do_deallocate(void*, size_t, size_t) override { }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

// The outlines a Font has decoded. They and their points live in one arena,
// so filling the cache costs a few large allocations instead of several per
// glyph, and emptying it is one rewind. Glyph ids of the font find their
// entry by index; ids outside the font (which still have metrics) by a map.
struct OutlineCache {
    std::unique_ptr<OutlineArena> arena;
    std::vector<GlyphOutline*> byGlyph;
    std::unordered_map<int32_t, GlyphOutline*> others;
    size_t count = 0;

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
};

struct Point2 {
    double x = 0;
    double y = 0;
};

// The cached outline of a glyph, decoding it on first use. The reference stays
// valid until the next call for another glyph of the same Font (the cache is
// bounded and may drop older entries then); copy it to keep or change it.
const GlyphOutline& glyphOutline(Font& font, int32_t glyph);

// Empties the Font's outline cache; its memory is kept for the next outlines
// (it stays below the cache's limit) and goes with the Font.
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
