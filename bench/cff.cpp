// Time to draw every glyph of a CFF and a CFF2 font, beside FreeType loading
// the same glyphs unscaled and unhinted (its closest equivalent to an outline
// in font units).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codecs/font/cff.h"
#include "codecs/font/font.h"
#include "core/errors.h"

#ifdef QM_HAVE_FREETYPE2
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {

struct Case {
    const char* name;
    std::string path;
};

const Case kCases[] = {
    {"cff_all_glyphs", "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf"},
    {"cff2_all_glyphs", std::string(QM_SOURCE_DIR) + "/third_party/fonts/pango/Cantarell-VF.otf"},
};

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ours(benchmark::State& state, const Case* c)
{
    std::shared_ptr<qm::CffFont> font;
    try {
        font = qm::parseTrueType(readFile(c->path))->cff;
    } catch (const qm::ValueError&) {
    }
    if (!font) {
        state.SkipWithError("no CFF outlines");
        return;
    }
    const int32_t glyphs = qm::cffGlyphCount(*font);
    for (auto _ : state)
        for (int32_t g = 0; g < glyphs; ++g)
            benchmark::DoNotOptimize(qm::cffGlyphContours(*font, g));
    state.SetItemsProcessed(state.iterations() * glyphs);
}

#ifdef QM_HAVE_FREETYPE2
void freetype(benchmark::State& state, const Case* c)
{
    FT_Library lib;
    FT_Face face;
    auto data = readFile(c->path);
    if (FT_Init_FreeType(&lib) || FT_New_Memory_Face(lib, data.data(), FT_Long(data.size()), 0, &face)) {
        state.SkipWithError("FreeType cannot open the font");
        return;
    }
    const FT_Long glyphs = face->num_glyphs;
    for (auto _ : state)
        for (FT_Long g = 0; g < glyphs; ++g) {
            FT_Load_Glyph(face, FT_UInt(g), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING);
            benchmark::DoNotOptimize(face->glyph->outline.n_points);
        }
    state.SetItemsProcessed(state.iterations() * glyphs);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}
#endif

int registered = [] {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("qm/") + c.name).c_str(), ours, &c)->Unit(benchmark::kMicrosecond);
#ifdef QM_HAVE_FREETYPE2
        benchmark::RegisterBenchmark((std::string("freetype/") + c.name).c_str(), freetype, &c)
            ->Unit(benchmark::kMicrosecond);
#endif
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
