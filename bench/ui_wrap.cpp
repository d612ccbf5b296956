// Word wrapping as the UI does every frame it draws a paragraph: the wrap
// that keeps its line's running width beside the literal one that measures
// every candidate from the start of its line. Fonts are real (Plex Sans);
// GL is the driverless mock table. Items are words, so the per-word cost
// shows whether it stays flat as the text grows.
#include "../tests/platform/render/mock_gl.h"

#include "codecs/font/builtin_fonts.h"
#include "ui/context.h"
#include "ui/wrap.h"
#include "ui/wrap_internal.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace qm;

UiContext& context()
{
    static UiContext* ctx = [] {
        mockgl::install();
        mockgl::state.recording = false;
        auto* c = new UiContext();
        fillLightTheme(c->theme);
        c->font = newGlyphAtlas(parseTrueType(builtinFontFile(BuiltinFont::sansRegular)), 1024);
        return c;
    }();
    return *ctx;
}

std::string words(int n)
{
    static const char* pool[] = {"budget", "plan", "the", "monthly", "rent", "of", "groceries", "12.50", "savings",
        "account", "transfer", "a", "calendar", "shows", "every", "day"};
    std::string out;
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ' ';
        out += pool[(i * 7 + 3) % 16];
    }
    return out;
}

template <bool Fast>
void wrap(benchmark::State& state)
{
    UiContext& ctx = context();
    std::string text = words(int(state.range(0)));
    double width = state.range(1) > 0 ? double(state.range(1)) : 1e12;
    textWidth(*ctx.font, text, 13);  // glyphs cached before timing
    for (auto _ : state) {
        auto lines = Fast ? wrapText(ctx, text, width, 13) : wrapTextLiteral(ctx, text, width, 13);
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void args(benchmark::internal::Benchmark* b)
{
    for (int64_t n : {10, 50, 200, 1000})
        for (int64_t w : {200, 400, 800, 0})
            b->Args({n, w});
}

BENCHMARK(wrap<true>)->Name("wrapFast")->Apply(args);
BENCHMARK(wrap<false>)->Name("wrapLiteral")->Apply(args);

}  // namespace

BENCHMARK_MAIN();
