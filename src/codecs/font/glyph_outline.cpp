#include "codecs/font/glyph_outline.h"
#include "codecs/font/glyph_outline_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "codecs/font/cff.h"
#include "codecs/font/font.h"
#include "core/bytes.h"

namespace qm {

// The contours of a glyf glyph; depth counts composite nesting from 0.
Contours parseGlyf(const Font& font, int32_t glyph, int depth = 0);

OutlinePoint newOutlinePoint(double x, double y, uint8_t onCurve, uint8_t cubic) { return {x, y, onCurve, cubic}; }

Point2 cubicPoint(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t)
{
    double u = 1 - t;
    double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    return {w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y};
}

Point2 cubicTangent(
    const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3, double t)
{
    double u = 1 - t;
    double w0 = 3 * u * u, w1 = 6 * u * t, w2 = 3 * t * t;
    return {w0 * (p1.x - p0.x) + w1 * (p2.x - p1.x) + w2 * (p3.x - p2.x),
        w0 * (p1.y - p0.y) + w1 * (p2.y - p1.y) + w2 * (p3.y - p2.y)};
}

namespace {

std::pair<int32_t, int32_t> locaRangeIn(
    FontData data, const Font& font, const TableRange& glyf, const TableRange& loca, int32_t glyph)
{
    // Glyphs past the loca table's last entry are blank, whatever numGlyphs
    // claims: reading on would take the next table's bytes as offsets.
    const int64_t entry = font.indexToLocFormat == 0 ? 2 : 4;
    if ((int64_t{glyph} + 2) * entry > loca.length)
        return {0, 0};
    int64_t start, end;
    if (font.indexToLocFormat == 0) {
        start = 2 * int64_t{fontU16(data, loca.offset + 2 * int64_t{glyph})};
        end = 2 * int64_t{fontU16(data, loca.offset + 2 * int64_t{glyph} + 2)};
    } else {
        start = fontU32(data, loca.offset + 4 * int64_t{glyph});
        end = fontU32(data, loca.offset + 4 * int64_t{glyph} + 4);
    }
    // Offsets out of order or past the data would hand callers a range they
    // cannot read; such a glyph is treated as blank.
    int64_t at = glyf.offset + start;
    if (end < start || !fontRangeInside(data, at, end - start))
        return {0, 0};
    return {static_cast<int32_t>(at), static_cast<int32_t>(end - start)};
}

}  // namespace

std::pair<int32_t, int32_t> locaRange(const Font& font, int32_t glyph)
{
    if (!font.hasGlyf || glyph < 0)
        return {0, 0};
    return locaRangeIn(fontData(font), font, *findTable(font, "glyf"), *findTable(font, "loca"), glyph);
}

namespace {

constexpr int kMaxDepth = 8;
// Composites may share and nest components, so a hostile font can make one
// outline expand exponentially; these bound the work of a single outline far
// above anything a real glyph needs.
constexpr int kMaxComponents = 1024;
constexpr int64_t kMaxPoints = int64_t{1} << 17;

// Bytes of the x and y coordinates of a point with these flags.
constexpr std::array<uint8_t, 256> kCoordBytes = [] {
    std::array<uint8_t, 256> t{};
    for (int f = 0; f < 256; ++f)
        t[f] = uint8_t(((f & 2) ? 1 : (f & 16) ? 0 : 2) + ((f & 4) ? 1 : (f & 32) ? 0 : 2));
    return t;
}();

// Per-glyph working arrays, kept between glyphs so decoding allocates only
// the contours it returns.
struct GlyfScratch {
    std::vector<uint8_t> flags;
    std::vector<uint16_t> ends;
};

struct GlyfDecoder {
    GlyfDecoder(const Font& f)
        : font(f)
        , data(fontData(f))
        , glyf(*findTable(f, "glyf"))
        , loca(*findTable(f, "loca"))
    {
    }

    const Font& font;
    FontData data;
    TableRange glyf, loca;
    int components = 0;
    int64_t points = 0;
    static thread_local GlyfScratch scratch;
    std::vector<uint8_t>& flags = scratch.flags;
    std::vector<uint16_t>& ends = scratch.ends;

    void append(int32_t glyph, int depth, Contours& out);
    void appendSimple(int64_t start, int numContours, Contours& out);
    void appendComposite(int64_t start, int depth, Contours& out);
};

thread_local GlyfScratch GlyfDecoder::scratch;

void GlyfDecoder::append(int32_t glyph, int depth, Contours& out)
{
    if (depth > kMaxDepth || glyph < 0 || glyph >= std::max(font.numGlyphs, 1))
        return;
    auto [start, length] = locaRangeIn(data, font, glyf, loca, glyph);
    if (length < 1)
        return;
    int numContours = fontI16(data, start);
    if (numContours >= 0)
        appendSimple(start, numContours, out);
    else
        appendComposite(start, depth, out);
}

void GlyfDecoder::appendSimple(int64_t start, int numContours, Contours& out)
{
    if (numContours == 0)
        return;
    int64_t pos = start + 10;
    checkFontRange(data, pos, 2 * int64_t{numContours} + 2);
    const uint8_t* d = data.data();
    ends.resize(numContours);
    for (int k = 0; k < numContours; ++k, pos += 2)
        ends[k] = loadBe16(d + pos);
    // End points that do not strictly increase would hand out the same points
    // again and again (a few bytes of them can name a billion points); such a
    // glyph is damaged and draws nothing. The last end point sets the count,
    // so every end then lies below it.
    for (int k = 1; k < numContours; ++k)
        if (ends[k] <= ends[k - 1])
            return;
    int64_t n = int64_t{ends[numContours - 1]} + 1;
    pos += 2 + loadBe16(d + pos);
    if (points + n > kMaxPoints)
        return;
    points += n;

    // Flags first; they also tell how many coordinate bytes follow, so the
    // coordinates need one bounds check instead of one per point.
    const int64_t size = static_cast<int64_t>(data.size());
    flags.resize(n);
    int64_t coordBytes = 0;
    for (int64_t i = 0; i < n;) {
        if (pos >= size)
            throwFontReadError();
        uint8_t f = d[pos++];
        int64_t count = 1;
        if (f & 8) {
            if (pos >= size)
                throwFontReadError();
            count += std::min<int64_t>(d[pos++], n - i - 1);
        }
        for (int64_t end = i + count; i < end; ++i)
            flags[i] = f;
        coordBytes += count * kCoordBytes[f];
    }
    checkFontRange(data, pos, coordBytes);

    const size_t base = out.points.size();
    out.points.resize(base + n);
    OutlinePoint* p = out.points.data() + base;
    int32_t x = 0;
    for (int64_t i = 0; i < n; ++i) {
        uint8_t f = flags[i];
        if (f & 2) {
            x += (f & 16) ? d[pos] : -int32_t{d[pos]};
            pos += 1;
        } else if (!(f & 16)) {
            x += static_cast<int16_t>(loadBe16(d + pos));
            pos += 2;
        }
        p[i].x = x;
        p[i].onCurve = f & 1;
        p[i].cubic = 0;
    }
    int32_t y = 0;
    for (int64_t i = 0; i < n; ++i) {
        uint8_t f = flags[i];
        if (f & 4) {
            y += (f & 32) ? d[pos] : -int32_t{d[pos]};
            pos += 1;
        } else if (!(f & 32)) {
            y += static_cast<int16_t>(loadBe16(d + pos));
            pos += 2;
        }
        p[i].y = y;
    }
    if (out.ends.capacity() < out.ends.size() + numContours)
        out.ends.reserve(std::max(out.ends.size() + numContours, 2 * out.ends.capacity()));
    for (int k = 0; k < numContours; ++k)
        out.ends.push_back(static_cast<uint32_t>(base + ends[k] + 1));
}

void GlyfDecoder::appendComposite(int64_t start, int depth, Contours& out)
{
    const size_t own = out.points.size();
    int64_t pos = start + 10;
    for (;;) {
        uint16_t flags = fontU16(data, pos);
        int32_t component = fontU16(data, pos + 2);
        pos += 4;
        bool xy = flags & 2;
        int32_t arg1, arg2;
        if (flags & 1) {
            arg1 = xy ? fontI16(data, pos) : fontU16(data, pos);
            arg2 = xy ? fontI16(data, pos + 2) : fontU16(data, pos + 2);
            pos += 4;
        } else {
            arg1 = xy ? int8_t(fontU8(data, pos)) : fontU8(data, pos);
            arg2 = xy ? int8_t(fontU8(data, pos + 1)) : fontU8(data, pos + 1);
            pos += 2;
        }
        double a = 1, b = 0, c = 0, d = 1;
        if (flags & 8) {
            a = d = fontI16(data, pos) / 16384.0;
            pos += 2;
        } else if (flags & 0x40) {
            a = fontI16(data, pos) / 16384.0;
            d = fontI16(data, pos + 2) / 16384.0;
            pos += 4;
        } else if (flags & 0x80) {
            a = fontI16(data, pos) / 16384.0;
            b = fontI16(data, pos + 2) / 16384.0;
            c = fontI16(data, pos + 4) / 16384.0;
            d = fontI16(data, pos + 6) / 16384.0;
            pos += 8;
        }

        if (++components <= kMaxComponents) {
            const size_t first = out.points.size();
            append(component, depth + 1, out);
            std::span<OutlinePoint> added = std::span<OutlinePoint>(out.points).subspan(first);
            bool linear = a != 1 || b != 0 || c != 0 || d != 1;
            if (linear)
                for (OutlinePoint& p : added) {
                    double px = p.x, py = p.y;
                    p.x = a * px + c * py;
                    p.y = b * px + d * py;
                }
            double dx = 0, dy = 0;
            if (xy) {
                dx = arg1;
                dy = arg2;
            } else if (own + size_t(arg1) < first && size_t(arg2) < added.size()) {
                // Point numbers: move the component so that its point arg2
                // lands on point arg1 of the glyph built so far.
                dx = out.points[own + arg1].x - added[arg2].x;
                dy = out.points[own + arg1].y - added[arg2].y;
            }
            if (dx != 0 || dy != 0)
                for (OutlinePoint& p : added) {
                    p.x += dx;
                    p.y += dy;
                }
        }
        if (!(flags & 0x20))
            break;
    }
}

}  // namespace

Contours parseGlyf(const Font& font, int32_t glyph, int depth)
{
    Contours out;
    if (!font.hasGlyf)
        return out;
    GlyfDecoder decoder(font);
    decoder.append(glyph, depth, out);
    return out;
}

namespace {

// What an entry of the outline cache costs, roughly: its points and ends and
// the map node around the outline.
size_t cachedBytes(const GlyphOutline& g)
{
    return sizeof(GlyphOutline) + 64 + g.contours.points.capacity() * sizeof(OutlinePoint)
        + g.contours.ends.capacity() * sizeof(uint32_t);
}

GlyphOutline decodeOutline(Font& font, int32_t glyph)
{
    GlyphOutline g;
    if (font.cff) {
        std::vector<CffContour> contours = cffGlyphContours(*font.cff, glyph);
        size_t total = 0;
        for (const CffContour& c : contours)
            total += c.size();
        g.contours.points.reserve(total);
        g.contours.ends.reserve(contours.size());
        for (const CffContour& c : contours) {
            if (c.empty())
                continue;
            for (const CffPoint& p : c)
                g.contours.points.push_back({p.x, p.y, uint8_t(p.control ? 0 : 1), uint8_t(p.control ? 1 : 0)});
            g.contours.ends.push_back(static_cast<uint32_t>(g.contours.points.size()));
        }
    } else if (font.hasGlyf) {
        GlyfDecoder decoder(font);
        decoder.append(glyph, 0, g.contours);
    }
    std::tie(g.advance, g.lsb) = hmtxMetrics(font, glyph);
    double inf = std::numeric_limits<double>::infinity();
    double x0 = inf, y0 = inf, x1 = -inf, y1 = -inf;
    for (const OutlinePoint& p : g.contours.points) {
        // Comparisons with NaN are false, so NaN leaves the bounds alone.
        if (p.x < x0)
            x0 = p.x;
        if (p.x > x1)
            x1 = p.x;
        if (p.y < y0)
            y0 = p.y;
        if (p.y > y1)
            y1 = p.y;
    }
    if (!g.contours.points.empty()) {
        g.xMin = x0;
        g.yMin = y0;
        g.xMax = x1;
        g.yMax = y1;
    }
    return g;
}

}  // namespace

const GlyphOutline& glyphOutline(Font& font, int32_t glyph)
{
    auto it = font.outlineCache.find(glyph);
    if (it != font.outlineCache.end())
        return it->second;
    GlyphOutline g = decodeOutline(font, glyph);
    size_t bytes = cachedBytes(g);
    if (font.outlineCacheBytes + bytes > font.outlineCacheLimit)
        clearOutlineCache(font);
    font.outlineCacheBytes += bytes;
    return font.outlineCache.emplace(glyph, std::move(g)).first->second;
}

void clearOutlineCache(Font& font)
{
    font.outlineCache.clear();
    font.outlineCacheBytes = 0;
}

}  // namespace qm
