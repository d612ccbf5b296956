#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <functional>

#include "codecs/font/cmap.h"
#include "codecs/font/font.h"
#include "codecs/font/font_test_helpers.h"
#include "codecs/font/glyph_data.h"
#include "codecs/font/glyph_outline_internal.h"
#include "core/errors.h"

#if defined(__SANITIZE_ADDRESS__)
#define QM_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_UNDER_ASAN 1
#endif
#endif

#ifdef QM_UNDER_ASAN
// The sanitizer runtime's allocator hooks (GCC ships no header for them).
extern "C" {
size_t __sanitizer_get_allocated_size(const volatile void* p);
int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t), void (*free_hook)(const volatile void*));
}
#endif

using namespace qm;
using namespace qm::test;

namespace {

constexpr int kWords = 1, kXY = 2, kScale = 8, kXYScale = 0x40, kTwoByTwo = 0x80;

Bytes triangle() { return simpleGlyph({{{0, 0}, {100, 0}, {50, 80, false}}}); }

// (x, y, onCurve) of every point, contour by contour.
std::vector<std::vector<std::tuple<double, double, int>>> pointsOf(const GlyphOutline& o)
{
    std::vector<std::vector<std::tuple<double, double, int>>> out;
    for (const Contour& c : o.contours) {
        out.emplace_back();
        for (const OutlinePoint& p : c)
            out.back().emplace_back(p.x, p.y, p.onCurve);
    }
    return out;
}

using Pts = std::vector<std::vector<std::tuple<double, double, int>>>;

}  // namespace

TEST(GlyphOutlines, DecodesSimpleGlyphs)
{
    // Packed coordinates: short positive and negative deltas, repeated flags,
    // "same as before", and two contours.
    Bytes body;
    body.u8(0x01 | 0x02 | 0x10 | 0x04 | 0x20 | 0x08).u8(1);  // 2 points: +x byte, +y byte
    body.u8(0x00 | 0x02 | 0x04);                             // -x byte, -y byte, off-curve
    body.u8(0x01 | 0x10 | 0x20);                             // x and y unchanged
    body.u8(0x01);                                           // 16-bit deltas
    body.u8(10).u8(20).u8(5);                                // x bytes
    body.u16(-1000 & 0xFFFF);                                // x word
    body.u8(7).u8(8).u8(3);                                  // y bytes
    body.u16(300);                                           // y word
    Bytes glyph = rawSimpleGlyph({2, 4}, body);
    FontRef font = parseTrueType(ttfFont({simpleGlyph({}), glyph}));
    const GlyphOutline& o = glyphOutline(*font, 1);
    EXPECT_EQ(pointsOf(o), (Pts{{{10, 7, 1}, {30, 15, 1}, {25, 12, 0}}, {{25, 12, 1}, {-975, 312, 1}}}));
    EXPECT_EQ(o.advance, 501);
    EXPECT_EQ(o.lsb, 1);
    EXPECT_EQ(std::make_tuple(o.xMin, o.yMin, o.xMax, o.yMax), std::make_tuple(-975.0, 7.0, 30.0, 312.0));
    // The same glyph with its last coordinate byte the last byte of the data
    // (the table padding cut off): nothing may be read past it.
    Bytes cut = ttfFont({simpleGlyph({}), glyph});
    while (cut.back() == 0)
        cut.pop_back();
    EXPECT_EQ(pointsOf(glyphOutline(*parseTrueType(cut), 1)), pointsOf(o));

    // Blank (zero-length) glyph 0: no contours, zero bounds, its advance.
    const GlyphOutline& blank = glyphOutline(*font, 0);
    EXPECT_TRUE(blank.contours.empty());
    EXPECT_EQ(std::make_tuple(blank.xMin, blank.yMin, blank.xMax, blank.yMax), std::make_tuple(0.0, 0.0, 0.0, 0.0));
    EXPECT_EQ(blank.advance, 500);
    EXPECT_TRUE(glyphOutline(*font, 2).contours.empty());  // numGlyphs
    EXPECT_TRUE(glyphOutline(*font, -1).contours.empty());
}

// Runs fn in a child process whose memory is held to 512 MB, and tells
// whether it finished normally. Address space cannot be limited under
// AddressSanitizer, which reserves terabytes of it for its shadow; there the
// child instead tracks the largest amount of heap it ever held.
namespace {

#ifdef QM_UNDER_ASAN
std::atomic<int64_t> heapNow{0}, heapPeak{0};
void countMalloc(const volatile void*, size_t size)
{
    int64_t now = heapNow += int64_t(size);
    int64_t peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}
void countFree(const volatile void* p) { heapNow -= int64_t(__sanitizer_get_allocated_size(p)); }
#endif

constexpr int64_t kMemoryCap = int64_t{512} << 20;

bool withinMemoryCap(const std::function<void()>& fn)
{
    pid_t pid = fork();
    if (pid == 0) {
#ifdef QM_UNDER_ASAN
        __sanitizer_install_malloc_and_free_hooks(countMalloc, countFree);
        fn();
        _exit(heapPeak.load() <= kMemoryCap ? 0 : 3);
#else
        rlimit limit{rlim_t(kMemoryCap), rlim_t(kMemoryCap)};
        setrlimit(RLIMIT_AS, &limit);
        fn();
        _exit(0);
#endif
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(GlyphOutlines, HostileGlyphsDrawBlankWithinBoundedMemory)
{
    // 2,001 contours whose end points go 65534, 0, 65534, 0, ...: 65,535
    // points of "same as before" coordinates in a few hundred bytes, which
    // contours read again and again would turn into 65 million points.
    std::vector<int> seesaw;
    for (int k = 0; k < 2001; ++k)
        seesaw.push_back(k % 2 ? 0 : 65534);
    Bytes sameFlags;
    for (int left = 65535; left > 0; left -= 256)
        sameFlags.u8(0x01 | 0x08 | 0x10 | 0x20).u8(std::min(left, 256) - 1);
    Bytes three;
    for (int i = 0; i < 4; ++i)
        three.u8(0x01 | 0x02 | 0x10 | 0x04 | 0x20);
    three.u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(7).u8(8);

    // numGlyphs far past the loca table, whose glyf bytes would then be read
    // as offsets (loca comes before glyf here).
    auto [glyf, loca] = glyfLoca({triangle(), triangle()});
    Bytes pastLoca = makeSfnt({{"head", headTable()}, {"hhea", hheaTable(800, -200, 0, 1)}, {"maxp", maxpTable(60000)},
        {"hmtx", hmtxTable({{500, 0}})}, {"loca", loca}, {"glyf", glyf}});

    struct Case {
        const char* name;
        Bytes font;
        std::vector<int32_t> glyphs;
    } cases[] = {
        {"end points going back", ttfFont({rawSimpleGlyph(seesaw, sameFlags)}), {0}},
        {"end points decreasing once", ttfFont({rawSimpleGlyph({1, 0, 3}, three)}), {0}},
        {"end points repeating", ttfFont({rawSimpleGlyph({1, 1, 3}, three)}), {0}},
        {"end point past the point count", ttfFont({rawSimpleGlyph({10, 3}, three)}), {0}},
        {"numGlyphs past loca", pastLoca, {2, 3, 4, 100, 59999}},
    };
    for (const Case& c : cases) {
        bool blank = withinMemoryCap([&] {
            FontRef font = parseTrueType(c.font);
            for (int32_t g : c.glyphs) {
                try {
                    if (!glyphOutline(*font, g).contours.empty())
                        _exit(4);
                } catch (const ValueError&) {
                }
            }
        });
        EXPECT_TRUE(blank) << c.name;
    }

    // A composite that repeats itself stays as the composite rules draw it:
    // bounded by the nesting depth and the component count.
    FontRef font = parseTrueType(ttfFont({triangle(), compositeGlyph({{kXY, 0, 0, 0, {}}, {kXY, 1, 0, 10, {}}})}));
    EXPECT_EQ(glyphOutline(*font, 1).contours.size(), 8u);
    std::vector<Component> many(255, {kXY, 1, 0, 0, {}});
    many.push_back({kXY, 0, 0, 0, {}});
    Bytes bombFont = ttfFont({triangle(), compositeGlyph(many)});
    EXPECT_TRUE(withinMemoryCap([&] {
        FontRef bomb = parseTrueType(bombFont);
        if (glyphOutline(*bomb, 1).contours.points.size() > (size_t{1} << 17))
            _exit(4);
    }));
    // Still the glyphs before the damage draw.
    EXPECT_EQ(glyphOutline(*parseTrueType(pastLoca), 1).contours.size(), 1u);
}

TEST(GlyphOutlines, CacheStaysWithinItsLimit)
{
    std::vector<Bytes> glyphs;
    for (int i = 0; i < 64; ++i)
        glyphs.push_back(simpleGlyph({{{0, 0}, {100, i}, {50, 80, false}}}));
    FontRef font = parseTrueType(ttfFont(glyphs));
    font->outlineCacheLimit = 4096;
    for (int round = 0; round < 2; ++round)
        for (int32_t g = 0; g < 64; ++g) {
            const GlyphOutline& o = glyphOutline(*font, g);
            EXPECT_EQ(o.contours[0][1].y, g);
            EXPECT_LE(font->outlineCacheBytes, font->outlineCacheLimit);
        }
    EXPECT_LT(font->outlineCache.size(), 64u);
    EXPECT_GT(font->outlineCache.size(), 0u);
    clearOutlineCache(*font);
    EXPECT_EQ(font->outlineCacheBytes, 0u);
    EXPECT_TRUE(font->outlineCache.empty());
}

TEST(GlyphOutlines, PlacesCompositeComponents)
{
    struct Case {
        const char* name;
        std::vector<Component> components;
        Pts want;
    } cases[] = {
        {"byte offsets", {{kXY, 0, 10, -5 & 0xFF, {}}}, {{{10, -5, 1}, {110, -5, 1}, {60, 75, 0}}}},
        {"word offsets", {{kXY | kWords, 0, 1000, -300 & 0xFFFF, {}}},
            {{{1000, -300, 1}, {1100, -300, 1}, {1050, -220, 0}}}},
        {"scale 0.5 then offset", {{kXY | kScale, 0, 100, 0, {0x2000}}}, {{{100, 0, 1}, {150, 0, 1}, {125, 40, 0}}}},
        {"x and y scale", {{kXY | kXYScale, 0, 0, 0, {0x8000 /* -2 */, 0x4000}}},
            {{{0, 0, 1}, {-200, 0, 1}, {-100, 80, 0}}}},
        {"two by two (swap x, y)", {{kXY | kTwoByTwo, 0, 0, 0, {0, 0x4000, 0x4000, 0}}},
            {{{0, 0, 1}, {0, 100, 1}, {80, 50, 0}}}},
        {"two components", {{kXY, 0, 0, 0, {}}, {kXY | kWords, 0, 200, 0, {}}},
            {{{0, 0, 1}, {100, 0, 1}, {50, 80, 0}}, {{200, 0, 1}, {300, 0, 1}, {250, 80, 0}}}},
        // Point numbers: the second copy's point 0 lands on the first's point 2.
        {"matched points", {{kXY, 0, 0, 0, {}}, {0, 0, 2, 0, {}}},
            {{{0, 0, 1}, {100, 0, 1}, {50, 80, 0}}, {{50, 80, 1}, {150, 80, 1}, {100, 160, 0}}}},
        {"matched points out of range", {{kXY, 0, 0, 0, {}}, {0, 0, 9, 0, {}}},
            {{{0, 0, 1}, {100, 0, 1}, {50, 80, 0}}, {{0, 0, 1}, {100, 0, 1}, {50, 80, 0}}}},
    };
    for (const Case& c : cases) {
        FontRef font = parseTrueType(ttfFont({triangle(), compositeGlyph(c.components)}));
        EXPECT_EQ(pointsOf(glyphOutline(*font, 1)), c.want) << c.name;
    }

    // A component point (200, 200) under scale 0.5 and offset (100, 0).
    FontRef font =
        parseTrueType(ttfFont({simpleGlyph({{{200, 200}}}), compositeGlyph({{kXY | kScale, 0, 100, 0, {0x2000}}})}));
    EXPECT_EQ(pointsOf(glyphOutline(*font, 1)), (Pts{{{200, 100, 1}}}));
}

TEST(GlyphOutlines, BoundsSelfReferenceAndDeepNesting)
{
    // Glyph 1 draws glyph 0 and itself, moved up 10 each level: the recursion
    // stops below depth 8, the deepest level whose components are still read.
    FontRef font = parseTrueType(ttfFont({triangle(), compositeGlyph({{kXY, 0, 0, 0, {}}, {kXY, 1, 0, 10, {}}})}));
    const GlyphOutline& o = glyphOutline(*font, 1);
    ASSERT_EQ(o.contours.size(), 8u);
    for (size_t k = 0; k < o.contours.size(); ++k)
        EXPECT_EQ(o.contours[k][0].y, 10.0 * k);

    // Every component of glyph 1 is glyph 1: a tree of 255 branches, 8 deep.
    std::vector<Component> many(255, {kXY, 1, 0, 0, {}});
    many.push_back({kXY, 0, 0, 0, {}});
    FontRef bomb = parseTrueType(ttfFont({triangle(), compositeGlyph(many)}));
    EXPECT_LE(glyphOutline(*bomb, 1).contours.size(), 1024u);
}

TEST(GlyphOutlines, DamagedLocaGivesBlankGlyphs)
{
    auto [glyf, loca] = glyfLoca({triangle(), triangle()});
    std::vector<Table> tables = {{"head", headTable()}, {"hhea", hheaTable(800, -200, 0, 1)}, {"maxp", maxpTable(3)},
        {"hmtx", hmtxTable({{500, 0}})}, {"loca", loca}, {"glyf", glyf}};
    // Glyph 1 ends before it starts; glyph 2 runs far past the data; the loca
    // entry after glyph 2 lies past the table but inside the font.
    loca[8] = 0, loca[9] = 0, loca[10] = 0, loca[11] = 1;
    Bytes bigEnd = loca;
    bigEnd.u32(0x00FFFFFF);
    tables[4].bytes = bigEnd;
    FontRef font = parseTrueType(makeSfnt(tables));
    EXPECT_EQ(locaRange(*font, 1).second, 0);
    EXPECT_TRUE(glyphOutline(*font, 1).contours.empty());
    EXPECT_EQ(locaRange(*font, 2), std::make_pair(0, 0));
    EXPECT_EQ(glyphDataRange(*font, 2), std::make_pair(0, 0));
    EXPECT_EQ(glyphOutline(*font, 0).contours.size(), 1u);

    // Glyph data that claims more points than the font holds: glyf is the
    // last table, so its flags run past the end of the data.
    FontRef cut = parseTrueType(ttfFont({rawSimpleGlyph({199}, Bytes{1, 1, 1})}));
    EXPECT_THROW(glyphOutline(*cut, 0), IndexError);
}

TEST(GlyphOutlines, CachesEachGlyphOnce)
{
    FontRef font = parseTrueType(ttfFont({triangle()}));
    const GlyphOutline& first = glyphOutline(*font, 0);
    GlyphOutline copy = first;
    copy.contours[0][0].x = 999;
    const GlyphOutline& again = glyphOutline(*font, 0);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(again.contours[0][0].x, 0);
    EXPECT_EQ(font->outlineCache.size(), 1u);
}

TEST(GlyphOutlines, CubicHelpers)
{
    OutlinePoint p0 = newOutlinePoint(0, 0, 1, 0), p1 = newOutlinePoint(0, 100, 0, 1),
                 p2 = newOutlinePoint(100, 100, 0, 1), p3 = newOutlinePoint(100, 0, 1, 0);
    Point2 mid = cubicPoint(p0, p1, p2, p3, 0.5);
    EXPECT_DOUBLE_EQ(mid.x, 50);
    EXPECT_DOUBLE_EQ(mid.y, 75);
    Point2 start = cubicPoint(p0, p1, p2, p3, 0), end = cubicPoint(p0, p1, p2, p3, 1);
    EXPECT_EQ(std::make_pair(start.x, start.y), std::make_pair(0.0, 0.0));
    EXPECT_EQ(std::make_pair(end.x, end.y), std::make_pair(100.0, 0.0));
    Point2 t0 = cubicTangent(p0, p1, p2, p3, 0), tm = cubicTangent(p0, p1, p2, p3, 0.5);
    EXPECT_EQ(std::make_pair(t0.x, t0.y), std::make_pair(0.0, 300.0));
    EXPECT_DOUBLE_EQ(tm.x, 150);
    EXPECT_DOUBLE_EQ(tm.y, 0);
}

TEST(GlyphOutlines, CffGlyphsComeAsCubicCurves)
{
    FILE* f = std::fopen("/usr/share/fonts/opentype/freefont/FreeSerif.otf", "rb");
    ASSERT_TRUE(f) << "fonts-freefont-otf is needed";
    std::vector<uint8_t> bytes;
    for (int c; (c = std::fgetc(f)) != EOF;)
        bytes.push_back(uint8_t(c));
    std::fclose(f);
    FontRef font = parseTrueType(bytes);
    ASSERT_TRUE(font->cff);
    EXPECT_FALSE(font->hasGlyf);
    const GlyphOutline& o = glyphOutline(*font, glyphIndex(*font, 'O'));
    ASSERT_FALSE(o.contours.empty());
    int cubics = 0;
    for (const Contour& c : o.contours) {
        EXPECT_TRUE(c[0].onCurve);
        for (size_t i = 0; i < c.size(); ++i) {
            EXPECT_NE(c[i].onCurve, c[i].cubic);
            if (c[i].cubic) {
                ++cubics;
                // Control points come in pairs between on-curve points.
                EXPECT_TRUE(c[i - 1].cubic != c[(i + 1) % c.size()].cubic);
            }
        }
    }
    EXPECT_GT(cubics, 0);
    EXPECT_GT(o.xMax, o.xMin);
    EXPECT_EQ(glyphDataRange(*font, 5), std::make_pair(0, 0));
    EXPECT_TRUE(compositeComponents(*font, 5).empty());
    EXPECT_GT(tableRange(*font, "CFF ").second, 0);
}
