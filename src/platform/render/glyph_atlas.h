#pragma once
// Glyphs of one font rendered on demand into one square single-channel
// texture, packed on shelves, and the text metrics the UI measures with. The
// same advances and kerning serve measuring and drawing, so a measured width
// is always the drawn width.
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codecs/font/font.h"
#include "platform/render/texture.h"

namespace qm {

struct GlyphEntry {
    uint32_t glyph = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;  // bitmap corners as fractions of the side
    int32_t bitmapWidth = 0;               // 0 without a bitmap
    int32_t bitmapHeight = 0;
    double xOffset = 0;  // pen to the bitmap's left edge, whole pixels
    double yOffset = 0;  // baseline to the bitmap's top edge, y down
    double advance = 0;  // pixels
    bool ready = false;
};

// Every bitmap carries a transparent border of one pixel and bitmaps stand
// one more pixel apart, so linear filtering never reads a neighbour.
struct GlyphAtlas {
    FontRef font;
    TextureRef texture;  // GL_R8
    int32_t width = 0;   // the side; height always equals it
    int32_t height = 0;
    int32_t cursorX = 1;
    int32_t cursorY = 1;
    int32_t shelfHeight = 0;
    int32_t maxSide = 0;                             // GL_MAX_TEXTURE_SIZE, read once at creation
    std::unordered_map<uint64_t, GlyphEntry> cache;  // (glyph, pixel size) -> entry
    double coveragePower = 1.0;
    std::vector<uint8_t> pixels;  // CPU copy of the texture, row-major
    // Textures replaced by growth or a fresh start. Quads queued earlier in
    // the frame still sample them, so they are deleted after the next flush.
    std::vector<TextureRef> retired;

    GlyphAtlas() = default;
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;
    ~GlyphAtlas();
};

using GlyphAtlasRef = std::shared_ptr<GlyphAtlas>;

// A side x side atlas whose texture starts from the zeroed buffer.
GlyphAtlasRef newGlyphAtlas(FontRef font, int32_t side);

const GlyphEntry& getGlyph(GlyphAtlas& atlas, int32_t glyph, int32_t pixelSize);
GlyphEntry rasterizeGlyph(GlyphAtlas& atlas, int32_t glyph, int32_t pixelSize);

// Doubles the side, keeping every placed bitmap. Raises ValueError when the
// new side or its square overflows 32 bits.
void growAtlas(GlyphAtlas& atlas);

// Deletes the textures that growth replaced.
void deleteRetiredTextures(GlyphAtlas& atlas);

double textWidth(GlyphAtlas& atlas, std::string_view text, double size);
// Byte offset of the caret position nearest to x.
int32_t textOffsetAt(GlyphAtlas& atlas, std::string_view text, double size, double x);
double ascent(const GlyphAtlas& atlas, double size);
double descent(const GlyphAtlas& atlas, double size);  // negative below the baseline
double lineHeight(const GlyphAtlas& atlas, double size);
double kerningPixels(GlyphAtlas& atlas, int32_t left, int32_t right, double size);

// The pixel size whose bitmaps a size uses (halves away from zero).
int32_t atlasPixelSize(double size);

}  // namespace qm
