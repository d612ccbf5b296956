// Glyph coverage masks at UI and display sizes: our rasteriser beside
// FreeType's anti-aliased renderer and stb_truetype's, each rendering the
// same DejaVu Sans glyphs from outlines prepared before timing.
#include "platform/render/rasterizer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef QM_HAVE_FREETYPE2
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#endif

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

namespace {

const char* fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string glyphText = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789&@%$";
const int sizes[] = {13, 16, 48};

std::vector<unsigned char> readFont()
{
    std::ifstream in(fontPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef QM_HAVE_FREETYPE2

struct Segment {
    int kind;  // 1 line, 2 quadratic, 3 cubic
    double p[8];
};

struct PreparedGlyph {
    int width = 0, height = 0;
    std::vector<Segment> segments;  // mask pixels, y down, contours closed
    FT_Outline outline{};           // moved so the mask's bottom left is the origin
};

struct Decomposer {
    std::vector<Segment>* out;
    double left, top;
    double startX = 0, startY = 0, curX = 0, curY = 0;
    bool open = false;

    double px(const FT_Vector* v) const { return v->x / 64.0 - left; }
    double py(const FT_Vector* v) const { return top - v->y / 64.0; }
    void close()
    {
        if (open && (curX != startX || curY != startY))
            out->push_back({1, {curX, curY, startX, startY}});
        open = false;
    }
};

int moveTo(const FT_Vector* to, void* user)
{
    auto* d = static_cast<Decomposer*>(user);
    d->close();
    d->startX = d->curX = d->px(to);
    d->startY = d->curY = d->py(to);
    d->open = true;
    return 0;
}

int lineTo(const FT_Vector* to, void* user)
{
    auto* d = static_cast<Decomposer*>(user);
    double x = d->px(to), y = d->py(to);
    d->out->push_back({1, {d->curX, d->curY, x, y}});
    d->curX = x;
    d->curY = y;
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user)
{
    auto* d = static_cast<Decomposer*>(user);
    double x = d->px(to), y = d->py(to);
    d->out->push_back({2, {d->curX, d->curY, d->px(control), d->py(control), x, y}});
    d->curX = x;
    d->curY = y;
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    auto* d = static_cast<Decomposer*>(user);
    double x = d->px(to), y = d->py(to);
    d->out->push_back({3, {d->curX, d->curY, d->px(c1), d->py(c1), d->px(c2), d->py(c2), x, y}});
    d->curX = x;
    d->curY = y;
    return 0;
}

struct FreeTypeGlyphs {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::vector<std::vector<PreparedGlyph>> bySize;

    FreeTypeGlyphs()
    {
        if (FT_Init_FreeType(&library) || FT_New_Face(library, fontPath, 0, &face)) {
            std::fprintf(stderr, "cannot open %s\n", fontPath);
            std::exit(1);
        }
        FT_Outline_Funcs funcs{moveTo, lineTo, conicTo, cubicTo, 0, 0};
        for (int size : sizes) {
            FT_Set_Pixel_Sizes(face, 0, size);
            std::vector<PreparedGlyph> glyphs;
            for (char ch : glyphText) {
                FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
                FT_Outline& src = face->glyph->outline;
                FT_BBox box;
                FT_Outline_Get_CBox(&src, &box);
                long x0 = box.xMin >> 6, y0 = box.yMin >> 6, x1 = (box.xMax + 63) >> 6, y1 = (box.yMax + 63) >> 6;
                PreparedGlyph g;
                g.width = static_cast<int>(x1 - x0);
                g.height = static_cast<int>(y1 - y0);
                Decomposer d{&g.segments, static_cast<double>(x0), static_cast<double>(y1)};
                FT_Outline_Decompose(&src, &funcs, &d);
                d.close();
                FT_Outline_New(library, src.n_points, src.n_contours, &g.outline);
                FT_Outline_Copy(&src, &g.outline);
                FT_Outline_Translate(&g.outline, -x0 * 64, -y0 * 64);
                glyphs.push_back(std::move(g));
            }
            bySize.push_back(std::move(glyphs));
        }
    }
};

FreeTypeGlyphs& freeTypeGlyphs()
{
    static FreeTypeGlyphs glyphs;
    return glyphs;
}

void ours(benchmark::State& state, int sizeIndex)
{
    const auto& glyphs = freeTypeGlyphs().bySize[sizeIndex];
    for (auto _ : state) {
        for (const PreparedGlyph& g : glyphs) {
            qm::Rasterizer r = qm::newRasterizer(g.width, g.height);
            for (const Segment& s : g.segments) {
                const double* p = s.p;
                if (s.kind == 1)
                    qm::addLine(r, p[0], p[1], p[2], p[3]);
                else if (s.kind == 2)
                    qm::addQuadratic(r, p[0], p[1], p[2], p[3], p[4], p[5]);
                else
                    qm::addCubic(r, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
            }
            std::vector<uint8_t> mask = qm::coverageToAlphaGamma(r, 1.0);
            benchmark::DoNotOptimize(mask.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(glyphs.size()));
}

void freetype(benchmark::State& state, int sizeIndex)
{
    FreeTypeGlyphs& ft = freeTypeGlyphs();
    auto& glyphs = ft.bySize[sizeIndex];
    for (auto _ : state) {
        for (PreparedGlyph& g : glyphs) {
            std::vector<uint8_t> pixels(static_cast<size_t>(g.width) * g.height);
            FT_Bitmap bitmap{};
            bitmap.rows = g.height;
            bitmap.width = g.width;
            bitmap.pitch = g.width;
            bitmap.buffer = pixels.data();
            bitmap.num_grays = 256;
            bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
            FT_Outline_Get_Bitmap(ft.library, &g.outline, &bitmap);
            benchmark::DoNotOptimize(pixels.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(glyphs.size()));
}

#endif

struct StbGlyph {
    int width, height, x0, y0;
    stbtt_vertex* vertices;
    int count;
};

struct StbGlyphs {
    std::vector<unsigned char> data = readFont();
    stbtt_fontinfo font{};
    std::vector<std::vector<StbGlyph>> bySize;
    std::vector<float> scales;

    StbGlyphs()
    {
        if (data.empty() || !stbtt_InitFont(&font, data.data(), 0)) {
            std::fprintf(stderr, "cannot open %s\n", fontPath);
            std::exit(1);
        }
        for (int size : sizes) {
            float scale = stbtt_ScaleForMappingEmToPixels(&font, static_cast<float>(size));
            std::vector<StbGlyph> glyphs;
            for (char ch : glyphText) {
                int index = stbtt_FindGlyphIndex(&font, static_cast<unsigned char>(ch));
                StbGlyph g{};
                int x1, y1;
                stbtt_GetGlyphBitmapBox(&font, index, scale, scale, &g.x0, &g.y0, &x1, &y1);
                g.width = x1 - g.x0;
                g.height = y1 - g.y0;
                g.count = stbtt_GetGlyphShape(&font, index, &g.vertices);
                glyphs.push_back(g);
            }
            bySize.push_back(std::move(glyphs));
            scales.push_back(scale);
        }
    }
};

StbGlyphs& stbGlyphs()
{
    static StbGlyphs glyphs;
    return glyphs;
}

void stb(benchmark::State& state, int sizeIndex)
{
    StbGlyphs& s = stbGlyphs();
    const auto& glyphs = s.bySize[sizeIndex];
    float scale = s.scales[sizeIndex];
    for (auto _ : state) {
        for (const StbGlyph& g : glyphs) {
            std::vector<uint8_t> pixels(static_cast<size_t>(g.width) * g.height);
            stbtt__bitmap bitmap{g.width, g.height, g.width, pixels.data()};
            stbtt_Rasterize(&bitmap, 0.35f, g.vertices, g.count, scale, scale, 0, 0, g.x0, g.y0, 1, nullptr);
            benchmark::DoNotOptimize(pixels.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(glyphs.size()));
}

int registerAll()
{
    for (int i = 0; i < 3; ++i) {
        std::string c = "glyphs" + std::to_string(sizes[i]);
#ifdef QM_HAVE_FREETYPE2
        benchmark::RegisterBenchmark(("qm/" + c).c_str(), ours, i);
        benchmark::RegisterBenchmark(("freetype/" + c).c_str(), freetype, i);
#endif
        benchmark::RegisterBenchmark(("stb/" + c).c_str(), stb, i);
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
