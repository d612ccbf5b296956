// Built-in icons rasterised at a typical size, and a package-sized SVG
// picture rendered at the picture cache's 64 pixels. Both happen once per
// icon and size in a run, so these only watch for regressions.
#include "app/path_icons.h"
#include "app/svg.h"

#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
