#include "platform/render/glyph_atlas.h"

#include "codecs/font/cmap.h"
#include "codecs/font/glyph_outline.h"
#include "codecs/font/kerning.h"
#include "core/errors.h"
#include "core/utf8.h"
#include "platform/render/gl_entry_points.h"
#include "platform/render/glyph_atlas_internal.h"
#include "platform/render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace qm {

namespace {

// Without a usable answer from the driver the atlas still stops somewhere.
constexpr int32_t kFallbackMaxSide = 16384;
constexpr double kMaxBitmapSide = 4096;

uint64_t cacheKey(int32_t glyph, int32_t size)
{
    return uint64_t(uint32_t(glyph)) << 32 | uint32_t(size);
}

struct Walker {
    Rasterizer& raster;
    double scale, xOffset, yOffset;

    double bx(double x) const { return x * scale - xOffset; }
    double by(double y) const { return -y * scale - yOffset; }

    void line(const OutlinePoint& a, const OutlinePoint& b) { addLine(raster, bx(a.x), by(a.y), bx(b.x), by(b.y)); }

    void quad(double ax, double ay, double cx, double cy, double ex, double ey)
    {
        addQuadratic(raster, bx(ax), by(ay), bx(cx), by(cy), bx(ex), by(ey));
    }

    // A cubic as a few quadratics: the error estimate is taken in font units,
    // so the piece count does not depend on the pixel size.
    void cubic(const OutlinePoint& p0, const OutlinePoint& p1, const OutlinePoint& p2, const OutlinePoint& p3)
    {
        double ex = p3.x - 3 * p2.x + 3 * p1.x - p0.x;
        double ey = p3.y - 3 * p2.y + 3 * p1.y - p0.y;
        double err = std::sqrt(ex * ex + ey * ey) * 0.0481125;
        int n = 16;
        for (int i = 1; i <= 15; ++i) {
            if (err / (double(i) * i * i) <= 0.02) {
                n = i;
                break;
            }
        }
        for (int l = 1; l <= n; ++l) {
            double t0 = double(l - 1) / n, t1 = double(l) / n, d = (t1 - t0) / 3;
            Point2 a = cubicPoint(p0, p1, p2, p3, t0);
            Point2 b = l == n ? Point2{p3.x, p3.y} : cubicPoint(p0, p1, p2, p3, t1);
            Point2 da = cubicTangent(p0, p1, p2, p3, t0);
            Point2 db = cubicTangent(p0, p1, p2, p3, t1);
            double c1x = a.x + d * da.x, c1y = a.y + d * da.y;
            double c2x = b.x - d * db.x, c2y = b.y - d * db.y;
            double qx = (3 * (c1x + c2x) - a.x - b.x) / 4;
            double qy = (3 * (c1y + c2y) - a.y - b.y) / 4;
            quad(a.x, a.y, qx, qy, b.x, b.y);
        }
    }

    void contour(const Contour& c)
    {
        size_t n = c.size();
        if (n == 0)
            return;
        std::vector<OutlinePoint> list;
        list.reserve(n + 2);
        size_t first = n;
        for (size_t i = 0; i < n; ++i) {
            if (c[i].onCurve) {
                first = i;
                break;
            }
        }
        if (first < n) {
            for (size_t k = 0; k <= n; ++k)
                list.push_back(c[(first + k) % n]);
        } else {
            OutlinePoint mid = c[0];
            if (n >= 2) {
                mid.x = (c[0].x + c[1].x) / 2;
                mid.y = (c[0].y + c[1].y) / 2;
            }
            mid.onCurve = 1;
            mid.cubic = 0;
            list.push_back(mid);
            for (size_t i = 1; i < n; ++i)
                list.push_back(c[i]);
            list.push_back(c[0]);
            list.push_back(mid);
        }
        size_t len = list.size();
        OutlinePoint cur = list[0];
        size_t i = 0;
        while (i + 1 < len) {
            const OutlinePoint& next = list[i + 1];
            if (next.onCurve) {
                line(cur, next);
                cur = next;
                i += 1;
            } else if (next.cubic) {
                const OutlinePoint& c2 = list[(i + 2) % len];
                const OutlinePoint& end = i + 3 < len ? list[i + 3] : list[len - 1];
                cubic(cur, next, c2, end);
                cur = end;
                i += 3;
            } else {
                const OutlinePoint& after = i + 2 < len ? list[i + 2] : list[0];
                if (after.onCurve) {
                    quad(cur.x, cur.y, next.x, next.y, after.x, after.y);
                    cur = after;
                    i += 2;
                } else {
                    OutlinePoint mid = next;
                    mid.x = (next.x + after.x) / 2;
                    mid.y = (next.y + after.y) / 2;
                    mid.onCurve = 1;
                    quad(cur.x, cur.y, next.x, next.y, mid.x, mid.y);
                    cur = mid;
                    i += 1;
                }
            }
        }
    }
};

TextureRef newAtlasTexture(GlyphAtlas& atlas)
{
    return newTexture(atlas.width, atlas.height, GL_R8, GL_RED, GL_UNSIGNED_BYTE, atlas.pixels.data(), true, true);
}

void retireTexture(GlyphAtlas& atlas)
{
    if (atlas.texture)
        atlas.retired.push_back(atlas.texture);
}

// At the texture size ceiling: a blank atlas of the same side. Queued quads
// keep the old texture until the next flush.
void startOver(GlyphAtlas& atlas)
{
    std::fill(atlas.pixels.begin(), atlas.pixels.end(), uint8_t{0});
    atlas.cache.clear();
    atlas.cursorX = 1;
    atlas.cursorY = 1;
    atlas.shelfHeight = 0;
    retireTexture(atlas);
    atlas.texture = newAtlasTexture(atlas);
}

// The largest side growth can reach from the current one.
int32_t ceilingSide(const GlyphAtlas& atlas)
{
    int64_t side = atlas.width;
    while (side * 2 <= atlas.maxSide)
        side *= 2;
    return int32_t(side);
}

}  // namespace

int32_t atlasPixelSize(double size)
{
    double r = std::round(size);
    if (!(r >= 0))
        return 0;
    if (r > 1e6)
        return 1000000;
    return int32_t(r);
}

GlyphAtlas::~GlyphAtlas()
{
    if (glDeleteTextures)
        deleteRetiredTextures(*this);
}

GlyphAtlasRef newGlyphAtlas(FontRef font, int32_t side)
{
    if (side < 1 || int64_t(side) * side > std::numeric_limits<int32_t>::max())
        throw ValueError("atlas side out of range");
    auto atlas = std::make_shared<GlyphAtlas>();
    atlas->font = std::move(font);
    atlas->width = atlas->height = side;
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    atlas->maxSide = maxSide > 0 ? maxSide : kFallbackMaxSide;
    atlas->pixels.assign(size_t(side) * size_t(side), 0);
    atlas->texture = newAtlasTexture(*atlas);
    return atlas;
}

GlyphBitmap renderGlyphBitmap(Font& font, int32_t glyph, int32_t pixelSize, double coveragePower)
{
    GlyphBitmap out;
    const GlyphOutline* outline = nullptr;
    try {
        outline = &glyphOutline(font, glyph);
    } catch (const ValueError&) {
        // A damaged glyph draws nothing rather than stopping the text.
        return out;
    }
    double s = pixelSize / font.unitsPerEm;
    out.advance = outline->advance * s;
    if (outline->contours.empty())
        return out;
    double left = std::floor(outline->xMin * s), top = std::floor(-outline->yMax * s);
    double w = std::ceil(outline->xMax * s) - left + 2;
    double h = std::ceil(-outline->yMin * s) - top + 2;
    if (!(w >= 1 && w <= kMaxBitmapSide && h >= 1 && h <= kMaxBitmapSide))
        return out;
    out.xOffset = left - 1;
    out.yOffset = top - 1;
    out.width = int32_t(w);
    out.height = int32_t(h);
    Rasterizer raster = newRasterizer(out.width, out.height);
    Walker walker{raster, s, out.xOffset, out.yOffset};
    for (const Contour& contour : outline->contours)
        walker.contour(contour);
    out.pixels = coverageToAlphaGamma(raster, coveragePower);
    return out;
}

void addGlyphContours(Rasterizer& raster, const GlyphOutline& outline, double scale, double xOffset, double yOffset)
{
    Walker walker{raster, scale, xOffset, yOffset};
    for (const Contour& contour : outline.contours)
        walker.contour(contour);
}

GlyphEntry rasterizeGlyph(GlyphAtlas& atlas, int32_t glyph, int32_t pixelSize)
{
    GlyphBitmap bitmap = renderGlyphBitmap(*atlas.font, glyph, pixelSize, atlas.coveragePower);
    GlyphEntry entry;
    entry.glyph = uint32_t(glyph);
    entry.advance = bitmap.advance;
    entry.ready = true;
    int32_t bw = bitmap.width, bh = bitmap.height;
    if (bw == 0 || bh == 0)
        return entry;
    int32_t ceiling = ceilingSide(atlas);
    if (bw + 2 > ceiling || bh + 2 > ceiling)
        return entry; // would not fit even an empty atlas
    if (atlas.cursorX + bw + 1 > atlas.width) {
        atlas.cursorX = 1;
        atlas.cursorY += atlas.shelfHeight + 1;
        atlas.shelfHeight = 0;
    }
    while (atlas.cursorY + bh + 1 > atlas.height || atlas.cursorX + bw + 1 > atlas.width) {
        if (int64_t(atlas.width) * 2 > atlas.maxSide)
            startOver(atlas);
        else
            growAtlas(atlas);
    }
    for (int32_t row = 0; row < bh; ++row) {
        std::memcpy(&atlas.pixels[size_t(atlas.cursorY + row) * size_t(atlas.width) + size_t(atlas.cursorX)],
                    &bitmap.pixels[size_t(row) * size_t(bw)], size_t(bw));
    }
    updateTexture(*atlas.texture, atlas.cursorX, atlas.cursorY, bw, bh, bitmap.pixels.data(), GL_UNSIGNED_BYTE);
    float side = float(atlas.width);
    entry.u0 = float(atlas.cursorX) / side;
    entry.v0 = float(atlas.cursorY) / side;
    entry.u1 = float(atlas.cursorX + bw) / side;
    entry.v1 = float(atlas.cursorY + bh) / side;
    entry.bitmapWidth = bw;
    entry.bitmapHeight = bh;
    entry.xOffset = bitmap.xOffset;
    entry.yOffset = bitmap.yOffset;
    atlas.cursorX += bw + 1;
    atlas.shelfHeight = std::max(atlas.shelfHeight, bh);
    return entry;
}

const GlyphEntry& getGlyph(GlyphAtlas& atlas, int32_t glyph, int32_t pixelSize)
{
    uint64_t key = cacheKey(glyph, pixelSize);
    auto it = atlas.cache.find(key);
    if (it != atlas.cache.end())
        return it->second;
    GlyphEntry entry = rasterizeGlyph(atlas, glyph, pixelSize);
    return atlas.cache.insert_or_assign(key, entry).first->second;
}

void growAtlas(GlyphAtlas& atlas)
{
    int64_t side = int64_t(atlas.width) * 2;
    if (side > std::numeric_limits<int32_t>::max() || side * side > std::numeric_limits<int32_t>::max())
        throw ValueError("atlas side overflow");
    size_t oldSide = size_t(atlas.width), newSide = size_t(side);
    std::vector<uint8_t> pixels(newSide * newSide, 0);
    for (size_t row = 0; row < oldSide; ++row)
        std::memcpy(&pixels[row * newSide], &atlas.pixels[row * oldSide], oldSide);
    atlas.pixels = std::move(pixels);
    atlas.width = atlas.height = int32_t(side);
    retireTexture(atlas);
    atlas.texture = newAtlasTexture(atlas);
    float factor = float(oldSide) / float(newSide);
    for (auto& [key, entry] : atlas.cache) {
        entry.u0 *= factor;
        entry.v0 *= factor;
        entry.u1 *= factor;
        entry.v1 *= factor;
    }
}

void deleteRetiredTextures(GlyphAtlas& atlas)
{
    for (TextureRef& texture : atlas.retired)
        deleteTexture(*texture);
    atlas.retired.clear();
}

double kerningPixels(GlyphAtlas& atlas, int32_t left, int32_t right, double size)
{
    return kerning(*atlas.font, left, right) * size / atlas.font->unitsPerEm;
}

double textWidth(GlyphAtlas& atlas, std::string_view text, double size)
{
    int32_t r = atlasPixelSize(size);
    double total = 0;
    int32_t previous = 0;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        int32_t g = glyphIndex(*atlas.font, int32_t(step.codePoint));
        if (previous != 0)
            total += kerningPixels(atlas, previous, g, size);
        total += getGlyph(atlas, g, r).advance;
        previous = g;
    }
    return total;
}

int32_t textOffsetAt(GlyphAtlas& atlas, std::string_view text, double size, double x)
{
    int32_t r = atlasPixelSize(size);
    double total = 0;
    int32_t previous = 0;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        int32_t g = glyphIndex(*atlas.font, int32_t(step.codePoint));
        double m = getGlyph(atlas, g, r).advance;
        if (previous != 0)
            m += kerningPixels(atlas, previous, g, size);
        if (x < total + m / 2)
            return int32_t(at);
        total += m;
        previous = g;
        at += step.length;
    }
    return int32_t(text.size());
}

double ascent(const GlyphAtlas& atlas, double size)
{
    return size / atlas.font->unitsPerEm * atlas.font->ascent;
}

double descent(const GlyphAtlas& atlas, double size)
{
    return size / atlas.font->unitsPerEm * atlas.font->descent;
}

double lineHeight(const GlyphAtlas& atlas, double size)
{
    const Font& f = *atlas.font;
    return (f.ascent - f.descent + f.lineGap) * size / f.unitsPerEm;
}

}  // namespace qm
