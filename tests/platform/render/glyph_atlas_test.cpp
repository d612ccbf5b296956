#include "platform/render/glyph_atlas.h"

#include "codecs/font/cmap.h"
#include "codecs/font/kerning.h"
#include "codecs/image/png.h"
#include "core/files.h"
#include "platform/render/glyph_atlas_internal.h"
#include "platform/render/primitives.h"
#include "render_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "core/utf8.h"

namespace qm {
namespace {

class AtlasTest : public ::testing::Test {
protected:
    void SetUp() override { mockgl::install(); }

    int32_t glyphOf(const GlyphAtlas& atlas, char32_t c) { return glyphIndex(*atlas.font, int32_t(c)); }
};

TEST_F(AtlasTest, GlyphsPackOnShelvesAndShareRoundedSizes)
{
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 1024);
    auto images = mockgl::callsNamed("glTexImage2D");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].args[2], GL_R8);
    EXPECT_EQ(images[0].args[8], 1.0) << "created from the zeroed buffer";

    GlyphEntry a = getGlyph(*atlas, glyphOf(*atlas, 'A'), 13);
    GlyphEntry b = getGlyph(*atlas, glyphOf(*atlas, 'B'), 13);
    EXPECT_EQ(a.u0 * 1024, 1.0f);
    EXPECT_EQ(a.v0 * 1024, 1.0f);
    EXPECT_EQ(b.u0 * 1024, float(1 + a.bitmapWidth + 1));
    EXPECT_EQ(b.v0 * 1024, 1.0f);
    EXPECT_EQ((a.u1 - a.u0) * 1024, float(a.bitmapWidth));
    auto uploads = mockgl::callsNamed("glTexSubImage2D");
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[1].args[2], 1 + a.bitmapWidth + 1);
    // The CPU copy holds the bitmap with its transparent border.
    EXPECT_EQ(atlas->pixels[1024 + 1], 0);

    size_t cached = atlas->cache.size();
    textWidth(*atlas, "AB", 13.4);
    textWidth(*atlas, "AB", 12.6);
    EXPECT_EQ(atlas->cache.size(), cached) << "13.4 and 12.6 use the bitmaps of 13";
    // Kerning still follows the exact size.
    int32_t t = glyphOf(*atlas, 'T'), o = glyphOf(*atlas, 'o');
    double units = kerning(*atlas->font, t, o);
    ASSERT_NE(units, 0.0) << "DejaVu Sans kerns T o";
    EXPECT_NEAR(textWidth(*atlas, "To", 13.4) - textWidth(*atlas, "To", 12.6),
        units * (13.4 - 12.6) / atlas->font->unitsPerEm, 1e-12);

    // A space has an advance and no bitmap, and is cached ready.
    const GlyphEntry& space = getGlyph(*atlas, glyphOf(*atlas, ' '), 13);
    EXPECT_TRUE(space.ready);
    EXPECT_EQ(space.bitmapWidth, 0);
    EXPECT_GT(space.advance, 0);
}

TEST_F(AtlasTest, GrowthHalvesCoordinatesAndKeepsPixels)
{
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 1024);
    GlyphEntry a = getGlyph(*atlas, glyphOf(*atlas, 'A'), 48);
    std::vector<uint8_t> before(atlas->pixels.begin(), atlas->pixels.begin() + 1024 * 60);
    atlas->cursorY = 1000;  // little room left below the shelf
    GlyphEntry w = getGlyph(*atlas, glyphOf(*atlas, 'W'), 48);
    EXPECT_EQ(atlas->width, 2048);
    EXPECT_EQ(atlas->height, 2048);
    const GlyphEntry& a2 = getGlyph(*atlas, glyphOf(*atlas, 'A'), 48);
    EXPECT_EQ(a2.u0, a.u0 / 2);
    EXPECT_EQ(a2.v1, a.v1 / 2);
    EXPECT_EQ(w.v0 * 2048, 1000.0f);
    for (int row = 0; row < 60; ++row)
        ASSERT_EQ(0, std::memcmp(&atlas->pixels[size_t(row) * 2048], &before[size_t(row) * 1024], 1024));
    // The replaced texture waits for the next flush.
    EXPECT_EQ(atlas->retired.size(), 1u);
    EXPECT_TRUE(mockgl::callsNamed("glDeleteTextures").empty());
}

TEST_F(AtlasTest, BitmapWiderThanTheAtlasGrowsIt)
{
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 16);
    GlyphEntry w = getGlyph(*atlas, glyphOf(*atlas, 'W'), 48);
    ASSERT_GT(w.bitmapWidth, 16);
    EXPECT_GE(atlas->width, w.bitmapWidth + 2);
    EXPECT_LE(w.u1, 1.0f);
    EXPECT_LE(w.v1, 1.0f);
}

TEST_F(AtlasTest, AtTheSizeCeilingTheAtlasStartsOver)
{
    mockgl::state.maxTextureSize = 256;
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 128);
    int32_t startedOver = 0;
    int32_t lastCursorY = 0;
    for (char32_t c = 'A'; c <= 'z'; ++c) {
        GlyphEntry e = getGlyph(*atlas, glyphOf(*atlas, c), 48);
        ASSERT_LE(atlas->width, 256);
        EXPECT_GT(e.bitmapWidth, 0);
        EXPECT_LE(e.v1, 1.0f);
        if (atlas->cursorY < lastCursorY)
            ++startedOver;
        lastCursorY = atlas->cursorY;
    }
    EXPECT_EQ(atlas->width, 256);
    EXPECT_GE(startedOver, 1);
    EXPECT_LT(atlas->cache.size(), size_t('z' - 'A' + 1)) << "the cache was emptied";
    // Too large for even an empty atlas at the ceiling: no bitmap, but an advance.
    GlyphEntry huge = getGlyph(*atlas, glyphOf(*atlas, 'W'), 400);
    EXPECT_EQ(huge.bitmapWidth, 0);
    EXPECT_GT(huge.advance, 300);
}

TEST_F(AtlasTest, QueuedQuadsKeepTheTextureTheyWereMadeWith)
{
    RendererRef r = newRenderer();
    auto atlas = newGlyphAtlas(testing::dejaVuSans(), 64);
    beginRendererFrame(*r, 800, 600);
    renderText(*r, atlas, "a", 10, 30, 16, colorWhite);
    uint32_t oldName = atlas->texture->name;
    renderText(*r, atlas, "WM@", 10, 90, 48, colorWhite);  // grows mid-frame
    ASSERT_NE(atlas->texture->name, oldName);
    mockgl::state.calls.clear();
    flushRenderer(*r);
    std::vector<double> boundForDraws;
    double bound = 0;
    size_t lastDraw = 0, deleted = 0;
    for (size_t i = 0; i < mockgl::state.calls.size(); ++i) {
        const auto& c = mockgl::state.calls[i];
        if (c.name == "glBindTexture")
            bound = c.args[1];
        if (c.name == "glDrawArrays") {
            boundForDraws.push_back(bound);
            lastDraw = i;
        }
        if (c.name == "glDeleteTextures" && c.args[0] == oldName)
            deleted = i;
    }
    ASSERT_GE(boundForDraws.size(), 2u);
    EXPECT_EQ(boundForDraws.front(), oldName);
    EXPECT_EQ(boundForDraws.back(), atlas->texture->name);
    EXPECT_GT(deleted, lastDraw) << "deleted only after the last draw";
    EXPECT_TRUE(atlas->retired.empty());
}

TEST_F(AtlasTest, MeasuredWidthIsDrawnWidth)
{
    RendererRef r = newRenderer();
    const std::u32string alphabet = U"AVTWYLoaeyw.,;:'\"-–—fiflé ü€ßΩжあ\U0001F600";
    std::mt19937 rng(7);
    for (FontRef font : {testing::dejaVuSans(), testing::plexSans()}) {
        auto atlas = newGlyphAtlas(font, 512);
        for (int trial = 0; trial < 60; ++trial) {
            std::string text;
            int n = int(rng() % 12);
            for (int i = 0; i < n; ++i)
                appendUtf8(text, alphabet[rng() % alphabet.size()]);
            if (trial % 10 == 9)
                text.push_back(char(0xC3));  // a cut-off sequence
            double size = 8 + (rng() % 400) / 10.0;
            double x = (rng() % 1000) / 7.0;
            beginRendererFrame(*r, 800, 600);
            double drawn = renderText(*r, atlas, text, x, 100, size, colorWhite);
            EXPECT_EQ(drawn, textWidth(*atlas, text, size)) << text << " at " << size;
            EXPECT_EQ(renderText(*r, atlas, text, x, 100, size, colorTransparent), drawn);
            for (int k = 0; k < 5; ++k) {
                double at = (rng() % 4000) / 10.0 - 20;
                int32_t offset = textOffsetAt(*atlas, text, size, at);
                ASSERT_GE(offset, 0);
                ASSERT_LE(size_t(offset), text.size());
                if (size_t(offset) < text.size()) {
                    EXPECT_NE(uint8_t(text[size_t(offset)]) & 0xC0, 0x80) << text << " at x " << at;
                }
            }
        }
    }
}

TEST_F(AtlasTest, CaretOffsets)
{
    auto atlas = newGlyphAtlas(testing::plexSans(), 256);
    const std::string text = "aé";
    double a = textWidth(*atlas, "a", 16);
    EXPECT_EQ(textOffsetAt(*atlas, text, 16, 0), 0);
    EXPECT_EQ(textOffsetAt(*atlas, text, 16, a / 2 - 0.01), 0);
    EXPECT_EQ(textOffsetAt(*atlas, text, 16, a / 2), 1) << "the middle of a glyph goes after it";
    EXPECT_EQ(textOffsetAt(*atlas, text, 16, 1000), 3);
    EXPECT_EQ(textOffsetAt(*atlas, "", 16, 5), 0);
    EXPECT_EQ(textWidth(*atlas, "", 16), 0);
    EXPECT_NEAR(lineHeight(*atlas, 16),
        ascent(*atlas, 16) - descent(*atlas, 16) + atlas->font->lineGap * 16 / atlas->font->unitsPerEm, 1e-9);
    EXPECT_LT(descent(*atlas, 16), 0);
}

// A line of text at 13 px as the atlas draws it, black on white, against a
// golden picture reviewed by eye beside FreeType's rendering of the same
// line. QM_UPDATE_GOLDEN=1 writes the pictures instead.
ImagePtr textLine(Font& font, std::string_view text)
{
    const int32_t size = 13, width = 560, height = 20;
    ImagePtr image = newImage(width, height, 4);
    std::vector<int32_t> ink(size_t(width) * height, 0);
    double pen = 2, baseline = std::round(font.ascent * size / font.unitsPerEm) + 2;
    int32_t previous = 0;
    for (size_t at = 0; at < text.size();) {
        Utf8Step step = decodeUtf8(text, at);
        at += step.length;
        int32_t glyph = glyphIndex(font, int32_t(step.codePoint));
        if (previous != 0)
            pen += kerning(font, previous, glyph) * size / font.unitsPerEm;
        GlyphBitmap b = renderGlyphBitmap(font, glyph, size, 1.0);
        int32_t left = int32_t(std::lround(pen + b.xOffset)), top = int32_t(baseline + b.yOffset);
        for (int32_t y = 0; y < b.height; ++y)
            for (int32_t x = 0; x < b.width; ++x) {
                int32_t px = left + x, py = top + y;
                if (px >= 0 && px < width && py >= 0 && py < height)
                    ink[size_t(py) * width + px] += b.pixels[size_t(y) * b.width + x];
            }
        pen += b.advance;
        previous = glyph;
    }
    for (size_t i = 0; i < ink.size(); ++i) {
        uint8_t v = uint8_t(255 - std::min(ink[i], 255));
        image->pixels[i * 4] = image->pixels[i * 4 + 1] = image->pixels[i * 4 + 2] = v;
        image->pixels[i * 4 + 3] = 255;
    }
    return image;
}

TEST(GlyphGoldens, TextLinesAt13Pixels)
{
    const std::string text = "Budget for March: $1,234.56 - Rent, Groceries & Savings (gjpqy) 0123456789";
    struct Case {
        const char* name;
        FontRef font;
    } cases[] = {
        {"text_13px_plex_sans.png", testing::plexSans()}, {"text_13px_dejavu_sans.png", testing::dejaVuSans()}};
    for (const Case& c : cases) {
        ImagePtr image = textLine(*c.font, text);
        std::string path = std::string(QM_SOURCE_DIR) + "/tests/golden/" + c.name;
        if (std::getenv("QM_UPDATE_GOLDEN")) {
            savePng(*image, path);
            continue;
        }
        std::string bytes = readFile(path);
        ImagePtr golden = decodePng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
        ASSERT_EQ(golden->width, image->width) << c.name;
        ASSERT_EQ(golden->height, image->height) << c.name;
        EXPECT_TRUE(golden->pixels == image->pixels) << c.name;
    }
}

}  // namespace
}  // namespace qm
