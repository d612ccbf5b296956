// Built-in icons rasterised at a typical size, and a package-sized SVG
// picture rendered at the picture cache's 64 pixels. Both happen once per
// icon and size in a run, so these only watch for regressions. Then the
// worst pictures a stranger can send that the SVG size checks still accept.
#include "app/path_icons.h"
#include "app/svg.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void builtinIconsAt24(benchmark::State& state)
{
    for (auto _ : state)
        for (const qm::BuiltinIconPath& icon : qm::builtinIconPaths())
            benchmark::DoNotOptimize(qm::rasterizePath(icon.pathData, 24));
    state.SetItemsProcessed(state.iterations() * int64_t(qm::builtinIconPaths().size()));
}
BENCHMARK(builtinIconsAt24);

void svgPictureAt64(benchmark::State& state)
{
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 24 24'><g transform='rotate(10 12 12)'>";
    for (const qm::BuiltinIconPath& icon : qm::builtinIconPaths().subspan(0, 8))
        svg += "<path d='" + std::string(icon.pathData) + "'/>";
    svg += "<rect x='2' y='2' width='8' height='6' rx='2'/><circle cx='18' cy='18' r='4'/></g></svg>";
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::renderSvgMask(svg, 64));
}
BENCHMARK(svgPictureAt64);

// The costliest pictures the size checks accept, one per kind of work: as
// many copies of one piece as the bounds let through, at 64 pixels. Each must
// render within 50 ms.
std::string pictureOf(const std::string& piece, int copies, bool shapes)
{
    std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 64 64'>";
    if (!shapes)
        svg += "<path d='M0 0";
    for (int i = 0; i < copies; ++i)
        svg += piece;
    svg += shapes ? "</svg>" : "z'/></svg>";
    return svg;
}

void svgWorstCase(benchmark::State& state, const std::string& piece, bool shapes)
{
    // The largest accepted count, by bisection.
    int low = 1, high = 1 << 22;
    while (low + 1 < high) {
        const int mid = low + (high - low) / 2;
        (qm::renderSvgMask(pictureOf(piece, mid, shapes), 64).empty() ? high : low) = mid;
    }
    const std::string svg = pictureOf(piece, low, shapes);
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::renderSvgMask(svg, 64));
    state.counters["copies"] = low;
    state.counters["bytes"] = double(svg.size());
}
BENCHMARK_CAPTURE(svgWorstCase, crossing_cubics, std::string("C-9999 64 9999 0 64 64C9999 0 -9999 64 0 0"), false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, small_cubics, std::string("c1 2 2 -2 3 0c1 2 2 -2 3 0"), false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, tiny_lines, std::string("L1 1L0 0"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, steep_lines, std::string("L1 64L0 0"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, flat_lines, std::string("L64 1L0 0"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, left_lines, std::string("L-99 64L-98 0"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, tall_lines, std::string("L9e9 9e9L-9e9 -9e9"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, moves, std::string("M0 0"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, empty_arcs, std::string("A0 0 0 0 0 1 1"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(svgWorstCase, shapes, std::string("<rect width='64' height='64'/>"), true)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
