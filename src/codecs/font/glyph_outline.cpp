#include "codecs/font/glyph_outline.h"
#include "codecs/font/glyph_outline_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory_resource>
#include <new>

#include "codecs/font/cff.h"
#include "codecs/font/font.h"
#include "core/bytes.h"
#include "core/large_allocator.h"

#include <sys/mman.h>

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
constexpr std::array<uint8_t, 256> kXBytes = [] {
    std::array<uint8_t, 256> t{};
    for (int f = 0; f < 256; ++f)
        t[f] = uint8_t((f & 2) ? 1 : (f & 16) ? 0 : 2);
    return t;
}();
constexpr std::array<uint8_t, 256> kYBytes = [] {
    std::array<uint8_t, 256> t{};
    for (int f = 0; f < 256; ++f)
        t[f] = uint8_t((f & 4) ? 1 : (f & 32) ? 0 : 2);
    return t;
}();

// One coordinate's change. Flag bit shortBit: one byte, positive when sameBit
// is set; otherwise sameBit set means no change and clear a signed 16-bit
// value. Worked out with masks instead of branches: the kinds alternate from
// point to point in no pattern a predictor learns. Reads at[1] even for a
// one-byte change, so the caller leaves a byte after the coordinates.
template <int shortBit, int sameBit>
inline int32_t coordDelta(uint32_t f, const uint8_t* at)
{
    const int32_t b0 = at[0];
    const int32_t wide = static_cast<int16_t>(static_cast<uint16_t>(b0 << 8 | at[1]));
    const int32_t isShort = -static_cast<int32_t>((f >> shortBit) & 1);
    const int32_t same = -static_cast<int32_t>((f >> sameBit) & 1);
    const int32_t narrow = (b0 ^ ~same) - ~same;  // b0 when same, else -b0
    return (narrow & isShort) | (wide & ~same & ~isShort);
}

// Per-glyph working arrays, kept between glyphs so decoding allocates only
// the contours it returns.
struct GlyfScratch {
    std::vector<uint8_t> flags;
    std::vector<uint16_t> ends;
    std::vector<uint8_t> coords;  // coordinates that end the data, plus two bytes
    Contours composite;           // a composite's contours, gathered before they are copied
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
    if (ends.size() < static_cast<size_t>(numContours))
        ends.resize(static_cast<size_t>(numContours));
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
    // coordinates need one bounds check instead of one per point. The loops
    // work on local pointers: their byte stores could alias the vectors'
    // own fields, which would otherwise be reloaded for every point.
    const int64_t size = static_cast<int64_t>(data.size());
    // A run of flags is stored 16 at a time, so the array keeps 16 spare
    // bytes; it only grows, so it is not cleared for every glyph.
    if (flags.size() < static_cast<size_t>(n) + 16)
        flags.resize(static_cast<size_t>(n) + 16);
    uint8_t* fl = flags.data();
    int64_t coordBytes = 0;
    for (int64_t i = 0; i < n;) {
        int64_t count = 1;
        uint8_t f;
        if (pos + 1 < size) {
            // Whether a flag repeats follows no pattern, so the byte after
            // it is read either way and counts only when it does.
            f = d[pos];
            const int64_t repeats = (f >> 3) & 1;
            count += std::min<int64_t>(d[pos + 1], n - i - 1) & -repeats;
            pos += 1 + repeats;
        } else {
            if (pos >= size)
                throwFontReadError();
            f = d[pos++];
            if (f & 8)
                throwFontReadError();  // its count would lie past the data
        }
        for (int64_t k = 0; k < count; k += 16)
            std::memset(fl + i + k, f, 16);
        i += count;
        coordBytes += count * (kXBytes[f] + kYBytes[f]);
    }
    checkFontRange(data, pos, coordBytes);
    const uint8_t* at = d + pos;
    if (coordBytes + 2 > size - pos) {
        // The coordinates end the data: decode a copy with spare bytes.
        std::vector<uint8_t>& copy = scratch.coords;
        copy.assign(at, at + coordBytes);
        copy.resize(copy.size() + 2, 0);
        at = copy.data();
    }

    const size_t base = out.points.size();
    if (out.points.capacity() < base + n)
        out.points.reserve(std::max<size_t>(base + n, base == 0 ? 0 : 2 * out.points.capacity()));
    // The points are made by the x pass (no growth: the room is reserved),
    // not set to defaults first and then overwritten.
    int32_t x = 0;
    for (int64_t i = 0; i < n; ++i) {
        const uint8_t f = fl[i];
        x += coordDelta<1, 4>(f, at);
        at += kXBytes[f];
        out.points.push_back({static_cast<double>(x), 0, static_cast<uint8_t>(f & 1), 0});
    }
    OutlinePoint* p = out.points.data() + base;
    int32_t y = 0;
    for (int64_t i = 0; i < n; ++i) {
        const uint8_t f = fl[i];
        y += coordDelta<2, 5>(f, at);
        at += kYBytes[f];
        p[i].y = y;
    }
    if (out.ends.capacity() < out.ends.size() + numContours)
        out.ends.reserve(std::max(out.ends.size() + numContours, out.ends.empty() ? 0 : 2 * out.ends.capacity()));
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

// What an entry of the outline cache costs, roughly: the outline and its
// points and ends.
size_t cachedBytes(const GlyphOutline& g)
{
    return sizeof(GlyphOutline) + g.contours.points.capacity() * sizeof(OutlinePoint)
        + g.contours.ends.capacity() * sizeof(uint32_t);
}

// The arena starts small, enough for the glyphs of a few lines of text; past
// that it takes chunks of one huge page each where the system offers them:
// zeroing one such page costs far less than faulting in the 512 small pages
// it replaces, which is most of the cost of a first pass over a font.
constexpr size_t kFirstArenaBytes = size_t{64} << 10;
constexpr size_t kArenaChunk = size_t{2} << 20;

// A new chunk is about to be filled from start to end, so its pages are
// faulted in by one call instead of one trap each (a hint: without it, or
// on an older kernel, they fault in as they are touched).
void prefault(void* memory, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    constexpr uintptr_t kPage = 4096;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(memory) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + size) & ~(kPage - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
    (void)memory;
    (void)size;
#endif
}

}  // namespace

void OutlineArena::Free::operator()(std::byte* p) const { std::free(p); }

void OutlineArena::rewind()
{
    current = 0;
    used = 0;
}

void* OutlineArena::do_allocate(size_t bytes, size_t alignment)
{
    for (;;) {
        if (current < chunks.size()) {
            Chunk& c = chunks[current];
            uintptr_t base = reinterpret_cast<uintptr_t>(c.bytes.get());
            uintptr_t at = (base + used + alignment - 1) & ~uintptr_t(alignment - 1);
            if (at - base <= c.size && bytes <= c.size - (at - base)) {
                used = at - base + bytes;
                return reinterpret_cast<void*>(at);
            }
            if (current + 1 < chunks.size()) {
                ++current;
                used = 0;
                continue;
            }
        }
        size_t size = chunks.empty() ? kFirstArenaBytes : kArenaChunk;
        size = std::max(size, bytes + alignment);
        void* memory = nullptr;
        if (size == kArenaChunk) {
            memory = std::aligned_alloc(kArenaChunk, size);
            if (memory)
                adviseHugePages(memory, size);  // a hint; refusal changes nothing
        } else {
            memory = std::malloc(size);
        }
        if (!memory)
            throw std::bad_alloc();
        prefault(memory, size);
        chunks.push_back({std::unique_ptr<std::byte[], Free>(static_cast<std::byte*>(memory)), size});
        current = chunks.size() - 1;
        used = 0;
    }
}

namespace {

GlyphOutline decodeOutline(Font& font, int32_t glyph, std::pmr::memory_resource* memory)
{
    GlyphOutline g(memory);
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
        auto [start, length] = locaRangeIn(decoder.data, font, decoder.glyf, decoder.loca, glyph);
        if (length >= 2 && fontI16(decoder.data, start) < 0) {
            // Components land in a reused buffer first, so the cached copy
            // gets one allocation of the final size.
            Contours& all = GlyfDecoder::scratch.composite;
            all.points.clear();
            all.ends.clear();
            decoder.append(glyph, 0, all);
            g.contours.points.assign(all.points.begin(), all.points.end());
            g.contours.ends.assign(all.ends.begin(), all.ends.end());
        } else {
            decoder.append(glyph, 0, g.contours);
        }
    }
    std::tie(g.advance, g.lsb) = hmtxMetrics(font, glyph);
    double inf = std::numeric_limits<double>::infinity();
    double x0 = inf, y0 = inf, x1 = -inf, y1 = -inf;
    for (const OutlinePoint& p : g.contours.points) {
        // Comparisons with NaN are false, so NaN leaves the bounds alone.
        // Written as choices, which become min / max instructions rather
        // than a jump per coordinate.
        x0 = p.x < x0 ? p.x : x0;
        x1 = p.x > x1 ? p.x : x1;
        y0 = p.y < y0 ? p.y : y0;
        y1 = p.y > y1 ? p.y : y1;
    }
    if (!g.contours.points.empty()) {
        g.xMin = x0;
        g.yMin = y0;
        g.xMax = x1;
        g.yMax = y1;
    }
    return g;
}

GlyphOutline** cacheSlot(Font& font, int32_t glyph)
{
    OutlineCache& cache = font.outlineCache;
    if (glyph >= 0 && glyph < font.numGlyphs) {
        if (cache.byGlyph.empty())
            cache.byGlyph.assign(static_cast<size_t>(font.numGlyphs), nullptr);
        return &cache.byGlyph[static_cast<size_t>(glyph)];
    }
    return &cache.others[glyph];
}

void emptyCache(Font& font)
{
    OutlineCache& cache = font.outlineCache;
    // Outlines hold nothing but arena memory, so they go with the arena
    // without their destructors.
    if (cache.arena)
        cache.arena->rewind();
    std::fill(cache.byGlyph.begin(), cache.byGlyph.end(), nullptr);
    cache.others.clear();
    cache.count = 0;
    font.outlineCacheBytes = 0;
}

}  // namespace

const GlyphOutline& glyphOutline(Font& font, int32_t glyph)
{
    if (GlyphOutline* cached = *cacheSlot(font, glyph))
        return *cached;
    OutlineCache& cache = font.outlineCache;
    if (!cache.arena)
        cache.arena = std::make_unique<OutlineArena>();
    std::pmr::memory_resource* memory = cache.arena.get();
    for (;;) {
        {
            GlyphOutline g = decodeOutline(font, glyph, memory);
            size_t bytes = cachedBytes(g);
            if (font.outlineCacheBytes == 0 || font.outlineCacheBytes + bytes <= font.outlineCacheLimit) {
                void* at = memory->allocate(sizeof(GlyphOutline), alignof(GlyphOutline));
                GlyphOutline* kept = new (at) GlyphOutline(std::move(g));
                *cacheSlot(font, glyph) = kept;
                ++cache.count;
                font.outlineCacheBytes += bytes;
                return *kept;
            }
        }
        // Full: start again with an empty cache, decoding the glyph anew
        // since its points lie in the arena being emptied.
        emptyCache(font);
    }
}

void clearOutlineCache(Font& font) { emptyCache(font); }

}  // namespace qm
