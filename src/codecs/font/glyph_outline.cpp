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
    std::vector<int32_t> xs;
    std::vector<int32_t> ys;
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
    std::vector<int32_t>& xs = scratch.xs;
    std::vector<int32_t>& ys = scratch.ys;

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

    xs.resize(n);
    ys.resize(n);
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
        xs[i] = x;
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
        ys[i] = y;
    }

    size_t room = out.size() + numContours;
    if (out.capacity() < room)
        out.reserve(std::max(room, 2 * out.capacity()));
    int64_t prevEnd = -1;
    for (int k = 0; k < numContours; ++k) {
        int64_t from = prevEnd + 1, e = ends[k];
        prevEnd = e;
        if (e < from || e >= n)
            continue;
        Contour& contour = out.emplace_back(e - from + 1);
        for (int64_t i = from; i <= e; ++i)
            contour[i - from] = {double(xs[i]), double(ys[i]), uint8_t(flags[i] & 1), 0};
    }
}

// Point index within the contours [from, to), counted across them.
const OutlinePoint* pointAt(const Contours& contours, size_t from, size_t to, int64_t index)
{
    for (size_t c = from; c < to; ++c) {
        if (index < static_cast<int64_t>(contours[c].size()))
            return &contours[c][index];
        index -= contours[c].size();
    }
    return nullptr;
}
void GlyfDecoder::appendComposite(int64_t start, int depth, Contours& out)
{
    const size_t own = out.size();
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
            size_t first = out.size();
            append(component, depth + 1, out);
            bool linear = a != 1 || b != 0 || c != 0 || d != 1;
            if (linear)
                for (size_t k = first; k < out.size(); ++k)
                    for (OutlinePoint& p : out[k]) {
                        double px = p.x, py = p.y;
                        p.x = a * px + c * py;
                        p.y = b * px + d * py;
                    }
            double dx = 0, dy = 0;
            if (xy) {
                dx = arg1;
                dy = arg2;
            } else {
                // Point numbers: move the component so that its point arg2 lands
                // on point arg1 of the glyph built so far.
                const OutlinePoint* parent = pointAt(out, own, first, arg1);
                const OutlinePoint* child = pointAt(out, first, out.size(), arg2);
                if (parent && child) {
                    dx = parent->x - child->x;
                    dy = parent->y - child->y;
                }
            }
            if (dx != 0 || dy != 0)
                for (size_t k = first; k < out.size(); ++k)
                    for (OutlinePoint& p : out[k]) {
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

const GlyphOutline& glyphOutline(Font& font, int32_t glyph)
{
    auto [it, inserted] = font.outlineCache.try_emplace(glyph);
    if (!inserted)
        return it->second;
    GlyphOutline& g = it->second;
    try {
        if (font.cff) {
            for (const CffContour& c : cffGlyphContours(*font.cff, glyph)) {
                Contour& contour = g.contours.emplace_back(c.size());
                for (size_t i = 0; i < c.size(); ++i)
                    contour[i] = {c[i].x, c[i].y, uint8_t(c[i].control ? 0 : 1), uint8_t(c[i].control ? 1 : 0)};
            }
        } else if (font.hasGlyf) {
            GlyfDecoder decoder(font);
            decoder.append(glyph, 0, g.contours);
        }
        std::tie(g.advance, g.lsb) = hmtxMetrics(font, glyph);
    } catch (...) {
        font.outlineCache.erase(it);
        throw;
    }
    double inf = std::numeric_limits<double>::infinity();
    double x0 = inf, y0 = inf, x1 = -inf, y1 = -inf;
    bool any = false;
    for (const Contour& c : g.contours)
        for (const OutlinePoint& p : c) {
            any = true;
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
    if (any) {
        g.xMin = x0;
        g.yMin = y0;
        g.xMax = x1;
        g.yMax = y1;
    }
    return g;
}

}  // namespace qm
