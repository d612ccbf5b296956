// The drawn Wayland title bar at 1920 logical pixels and scale 2, redrawn on
// every hover change; beside it, as a yardstick in the same run, a plain fill
// of the same buffer and the glyph bitmaps the title needs.
#include "codecs/font/builtin_fonts.h"
#include "platform/wayland/wl_window_internal.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace qm;

void titleBar(benchmark::State& state, uint8_t hovered)
{
    WlWindow w;
    w.width = 1920;
    w.title = "Quenmark — household budget 2025";
    w.hoveredButton = hovered;
    wlProcess.decorationFont = parseTrueType(builtinFontFile(BuiltinFont::sansRegular));
    std::vector<uint32_t> pixels(size_t(1920 * 2) * size_t(34 * 2));
    for (auto _ : state) {
        drawTitleBar(w, 1920 * 2, 34 * 2, pixels.data(), 2);
        benchmark::DoNotOptimize(pixels.data());
    }
    wlProcess.decorationFont.reset();
}

void BM_TitleBar(benchmark::State& state) { titleBar(state, buttonNone); }
void BM_TitleBarHovered(benchmark::State& state) { titleBar(state, buttonClose); }

void BM_FillOnly(benchmark::State& state)
{
    std::vector<uint32_t> pixels(size_t(1920 * 2) * size_t(34 * 2));
    for (auto _ : state) {
        fillPixels({1920 * 2, 34 * 2, pixels.data()}, 0xFFEBEBEB);
        benchmark::DoNotOptimize(pixels.data());
    }
}

}  // namespace

BENCHMARK(BM_TitleBar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TitleBarHovered)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
