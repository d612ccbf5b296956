// Outline extraction of every glyph of DejaVu Sans and IBM Plex Sans, uncached
// (the cache emptied inside the timing) and cached, the first pass in a fresh
// process, and the load of a built-in WOFF font, beside FreeType loading the
// same glyphs unscaled and unhinted. Goals: uncached at most FreeType's time,
// the fresh first pass at most 1.5 times it.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codecs/font/builtin_fonts.h"
#include "codecs/font/font.h"
#include "codecs/font/woff.h"

#ifdef QM_HAVE_FREETYPE2
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {

std::vector<uint8_t> readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The sfnt bytes of each case: FreeType gets the same TrueType data as we do.
std::vector<uint8_t> caseBytes(int which)
{
    if (which == 0)
        return readFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    return qm::woffToSfnt(qm::builtinFontFile(qm::BuiltinFont::sansRegular));
}

void qmOutlines(benchmark::State& state, int which)
{
    std::vector<uint8_t> bytes = caseBytes(which);
    qm::FontRef font = qm::parseTrueType(bytes);
    for (auto _ : state) {
        for (int32_t g = 0; g < font->numGlyphs; ++g)
            benchmark::DoNotOptimize(qm::glyphOutline(*font, g).xMax);
        qm::clearOutlineCache(*font);
    }
    state.SetItemsProcessed(state.iterations() * font->numGlyphs);
}

void qmCachedOutlines(benchmark::State& state)
{
    qm::FontRef font = qm::parseTrueType(caseBytes(1));
    for (int32_t g = 0; g < font->numGlyphs; ++g)
        qm::glyphOutline(*font, g);
    for (auto _ : state)
        for (int32_t g = 0; g < font->numGlyphs; ++g)
            benchmark::DoNotOptimize(qm::glyphOutline(*font, g).contours.size());
    state.SetItemsProcessed(state.iterations() * font->numGlyphs);
}

void qmLoad(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::parseTrueType(qm::builtinFontFile(qm::BuiltinFont::sansRegular)));
}

// Runs pass() in a forked child, so that nothing it touches is warm yet, and
// reports its time as the iteration's.
template <typename Pass>
void inFreshProcess(benchmark::State& state, Pass pass)
{
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0)
            std::abort();
        pid_t pid = fork();
        if (pid == 0) {
            auto start = std::chrono::steady_clock::now();
            pass();
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ssize_t written = write(fds[1], &seconds, sizeof seconds);
            _exit(written == sizeof seconds ? 0 : 1);
        }
        double seconds = 0;
        if (read(fds[0], &seconds, sizeof seconds) != sizeof seconds)
            std::abort();
        waitpid(pid, nullptr, 0);
        close(fds[0]);
        close(fds[1]);
        state.SetIterationTime(seconds);
    }
}

void qmFirstPass(benchmark::State& state, int which)
{
    // Opened from the caller's bytes without a copy, as FreeType's memory
    // face below is.
    auto bytes = std::make_shared<const std::vector<uint8_t>>(caseBytes(which));
    // The font outlives the clock, as FreeType's face does below: the pass
    // is opening the font and reading every glyph, not tearing it down.
    qm::FontRef kept;
    inFreshProcess(state, [&] {
        kept = qm::parseTrueType(bytes);
        for (int32_t g = 0; g < kept->numGlyphs; ++g)
            benchmark::DoNotOptimize(qm::glyphOutline(*kept, g).xMax);
    });
}

#ifdef QM_HAVE_FREETYPE2
void freetypeFirstPass(benchmark::State& state, int which)
{
    std::vector<uint8_t> bytes = caseBytes(which);
    inFreshProcess(state, [&] {
        FT_Library lib;
        FT_Face face;
        FT_Init_FreeType(&lib);
        FT_New_Memory_Face(lib, bytes.data(), FT_Long(bytes.size()), 0, &face);
        for (FT_Long g = 0; g < face->num_glyphs; ++g) {
            FT_Load_Glyph(face, FT_UInt(g), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING);
            benchmark::DoNotOptimize(face->glyph->outline.n_points);
        }
    });
}

void freetypeOutlines(benchmark::State& state, int which)
{
    std::vector<uint8_t> bytes = caseBytes(which);
    FT_Library lib;
    FT_Face face;
    FT_Init_FreeType(&lib);
    FT_New_Memory_Face(lib, bytes.data(), FT_Long(bytes.size()), 0, &face);
    for (auto _ : state)
        for (FT_Long g = 0; g < face->num_glyphs; ++g) {
            FT_Load_Glyph(face, FT_UInt(g), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING);
            benchmark::DoNotOptimize(face->glyph->outline.n_points);
        }
    state.SetItemsProcessed(state.iterations() * face->num_glyphs);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

void freetypeLoad(benchmark::State& state)
{
    auto woff = qm::builtinFontFile(qm::BuiltinFont::sansRegular);
    FT_Library lib;
    FT_Init_FreeType(&lib);
    for (auto _ : state) {
        FT_Face face;
        FT_New_Memory_Face(lib, woff.data(), FT_Long(woff.size()), 0, &face);
        benchmark::DoNotOptimize(face->num_glyphs);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
}
#endif

}  // namespace

BENCHMARK_CAPTURE(qmOutlines, "dejavu_all_glyphs", 0)->Name("qm/dejavu_all_glyphs")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(qmOutlines, "plex_all_glyphs", 1)->Name("qm/plex_all_glyphs")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(qmFirstPass, "dejavu", 0)
    ->Name("qm/dejavu_first_pass")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(qmFirstPass, "plex", 1)->Name("qm/plex_first_pass")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(qmCachedOutlines)->Name("qm/plex_all_glyphs_cached")->Unit(benchmark::kMicrosecond);
BENCHMARK(qmLoad)->Name("qm/plex_load_woff")->Unit(benchmark::kMicrosecond);
#ifdef QM_HAVE_FREETYPE2
BENCHMARK_CAPTURE(freetypeOutlines, "dejavu_all_glyphs", 0)
    ->Name("freetype/dejavu_all_glyphs")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(freetypeOutlines, "plex_all_glyphs", 1)
    ->Name("freetype/plex_all_glyphs")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(freetypeFirstPass, "dejavu", 0)
    ->Name("freetype/dejavu_first_pass")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(freetypeFirstPass, "plex", 1)
    ->Name("freetype/plex_first_pass")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(freetypeLoad)->Name("freetype/plex_load_woff")->Unit(benchmark::kMicrosecond);
#endif

BENCHMARK_MAIN();
