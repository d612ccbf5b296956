// The renderer's CPU work through a mock GL table (no driver): a mixed frame
// with its flush, text on cache hits, and glyph cache misses on all glyphs of
// DejaVu Sans beside FreeType (unhinted load and smooth render) and
// stb_truetype rendering the same glyphs.
#include "../tests/platform/render/mock_gl.h"

#include "codecs/font/cmap.h"
#include "core/files.h"
#include "platform/render/primitives.h"

#include <benchmark/benchmark.h>

#include <string>

#ifdef QM_HAVE_FREETYPE2
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

namespace {

using namespace qm;

const char* fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const int missSizes[] = {13, 16, 48};

const std::string& fontBytes()
{
    static std::string bytes = readFile(fontPath);
    return bytes;
}

FontRef loadFont()
{
    const std::string& b = fontBytes();
    return parseTrueType(FontData(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
}

struct Setup {
    RendererRef renderer;
    GlyphAtlasRef atlas;
    Setup()
    {
        mockgl::install();
        mockgl::state.recording = false;
        renderer = newRenderer();
        atlas = newGlyphAtlas(loadFont(), 1024);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

const std::string line = "Rent and utilities, March 2026: $1,234.56 (paid)";

void BM_MixedFrame(benchmark::State& state)
{
    Setup& s = setup();
    Renderer& r = *s.renderer;
    const Color c = hexColor(0x336699, 0.9);
    for (auto _ : state) {
        beginRendererFrame(r, 1280, 820);
        int glyphs = 0;
        for (int i = 0; i < 5000; ++i) {
            double x = (i * 37) % 1200, y = (i * 53) % 800;
            switch (i % 6) {
            case 0:
                fillRect(r, {x, y, 40, 20}, c);
                break;
            case 1:
                fillRoundRect(r, {x, y, 40, 20}, 6, c);
                break;
            case 2:
                strokeRoundRect(r, {x, y, 40, 20}, 6, 1, c);
                break;
            case 3:
                drawLine(r, x, y, x + 30, y + 10, 1.5, c);
                break;
            case 4:
                drawShadowRect(r, {x, y, 40, 20}, 6, 8, c);
                break;
            default:
                fillCircle(r, x, y, 8, c);
                break;
            }
            if (i % 125 == 0 && glyphs < 2000) {
                pushClip(r, {x, y, 300, 30});
                renderText(r, s.atlas, line, x, y + 20, 13, colorBlack);
                popClip(r);
                glyphs += int(line.size());
            }
        }
        flushRenderer(r);
        benchmark::DoNotOptimize(r.lastDrawCalls);
    }
}
BENCHMARK(BM_MixedFrame)->Unit(benchmark::kMicrosecond);

void BM_RenderTextCached(benchmark::State& state)
{
    Setup& s = setup();
    renderText(*s.renderer, s.atlas, line, 0, 20, 13, colorBlack);
    for (auto _ : state) {
        beginRendererFrame(*s.renderer, 1280, 820);
        benchmark::DoNotOptimize(renderText(*s.renderer, s.atlas, line, 0, 20, 13, colorBlack));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_RenderTextCached);

void BM_TextWidthCached(benchmark::State& state)
{
    Setup& s = setup();
    textWidth(*s.atlas, line, 13);
    for (auto _ : state)
        benchmark::DoNotOptimize(textWidth(*s.atlas, line, 13));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(line.size()));
}
BENCHMARK(BM_TextWidthCached);

// Every glyph at the three sizes, into a fresh atlas, outlines decoded anew.
void BM_CacheMissQm(benchmark::State& state)
{
    setup();
    FontRef font = loadFont();
    int64_t glyphs = 0;
    for (auto _ : state) {
        clearOutlineCache(*font);
        GlyphAtlasRef atlas = newGlyphAtlas(font, 2048);
        for (int size : missSizes)
            for (int32_t g = 0; g < font->numGlyphs; ++g)
                benchmark::DoNotOptimize(getGlyph(*atlas, g, size).advance);
        glyphs += 3 * font->numGlyphs;
    }
    state.SetItemsProcessed(glyphs);
}
BENCHMARK(BM_CacheMissQm)->Unit(benchmark::kMillisecond);

#ifdef QM_HAVE_FREETYPE2
void BM_CacheMissFreeType(benchmark::State& state)
{
    FT_Library library;
    FT_Init_FreeType(&library);
    FT_Face face;
    const std::string& b = fontBytes();
    FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(b.data()), FT_Long(b.size()), 0, &face);
    int64_t glyphs = 0;
    for (auto _ : state) {
        for (int size : missSizes) {
            FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
            for (FT_Long g = 0; g < face->num_glyphs; ++g) {
                FT_Load_Glyph(face, FT_UInt(g), FT_LOAD_NO_HINTING | FT_LOAD_RENDER);
                benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
            }
        }
        glyphs += 3 * face->num_glyphs;
    }
    state.SetItemsProcessed(glyphs);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}
BENCHMARK(BM_CacheMissFreeType)->Unit(benchmark::kMillisecond);
#endif

void BM_CacheMissStb(benchmark::State& state)
{
    const std::string& b = fontBytes();
    stbtt_fontinfo info;
    stbtt_InitFont(&info, reinterpret_cast<const unsigned char*>(b.data()), 0);
    int64_t glyphs = 0;
    for (auto _ : state) {
        for (int size : missSizes) {
            float scale = stbtt_ScaleForMappingEmToPixels(&info, float(size));
            for (int g = 0; g < info.numGlyphs; ++g) {
                int w = 0, h = 0, xo = 0, yo = 0;
                unsigned char* bitmap = stbtt_GetGlyphBitmap(&info, scale, scale, g, &w, &h, &xo, &yo);
                benchmark::DoNotOptimize(bitmap);
                stbtt_FreeBitmap(bitmap, nullptr);
            }
        }
        glyphs += 3 * info.numGlyphs;
    }
    state.SetItemsProcessed(glyphs);
}
BENCHMARK(BM_CacheMissStb)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
