// Frames of the help reading, headless (the driverless GL table, a whole
// AppState over the fake window, the real fonts and help book):
// - termsFrame: the document view as the terms page uses it, with its
//   layout cached, scrolled to the middle of the terms with two words
//   highlighted. The budget is a median under 1 ms.
// - helpPageFrame/N: the whole frame of the Help page with N times the heavy
//   budget open; the page shows no figures of it, so N must not matter.
// - resultsFrame: the Help page with a search of the most hits shown.
// - relayout: the terms laid out again at a new width every frame, what a
//   resize costs once per width.
//
// With --one-frame it draws warm-up frames, then exactly one termsFrame
// between callgrind's start and stop requests, for
//   valgrind --tool=callgrind --instr-atstart=no bench_help_frame --one-frame
// (bench/help_frame_callgrind.py compares the count with a committed baseline).
#include "bench_app.h"
#include "heavy_budget.h"

#include "app/app_state.h"
#include "app/frame.h"
#include "pages/help/help_page.h"
#include "pages/help/help_view.h"
#include "pages/help/help_view_internal.h"
#include "ui/tooltip.h"

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

using namespace qm;

struct Scene : bench::BenchApp {
    Rect rect{0, 0, 760, 600};

    explicit Scene(int heavyScale = 0)
        : BenchApp("qm-help-bench", fillHelpPageTable)
    {
        // The compiled-in book, whatever the environment says.
        unsetenv("QUENMRK_HELP");
        if (heavyScale > 0)
            *state->store->budget = bench::heavyBudget(heavyScale);
        state->page = pageHelp;
        std::shared_ptr<HelpBook> book = sharedHelpBook(*state);
        openHelpSection(*state, findHelpAnchor(*book, "terms"), false);
    }

    void viewFrame()
    {
        UiContext& ui = *state->ui;
        beginFrame(ui, 1.0 / 60);
        helpDocumentView(*state, rect);
        drawTooltip(ui);
        endFrame(ui);
    }

    // Scrolled to the middle of the terms, two words highlighted.
    void prepareTerms()
    {
        viewFrame();
        HelpViewState& view = helpView(*state);
        view.scroll = (view.layout.height + 2 * helpMargin(*state) - rect.h) / 2;
        view.highlightWords = {"service", "data"};
        for (int i = 0; i < 3; ++i)
            viewFrame();
    }
};

void termsFrame(benchmark::State& st)
{
    Scene scene;
    scene.prepareTerms();
    for (auto _ : st)
        scene.viewFrame();
    st.counters["vertices"] = double(scene.state->renderer->lastVertexCount);
    st.counters["layouts"] = double(helpView(*scene.state).layoutsMade);
}

void helpPageFrame(benchmark::State& st)
{
    Scene scene(int(st.range(0)));
    for (int i = 0; i < 5; ++i)
        drawFrame(*scene.state, 1.0 / 60);
    for (auto _ : st)
        drawFrame(*scene.state, 1.0 / 60);
    st.counters["layouts"] = double(helpView(*scene.state).layoutsMade);
}

void resultsFrame(benchmark::State& st)
{
    Scene scene;
    HelpViewState& view = helpView(*scene.state);
    view.searchText = "the";
    for (int i = 0; i < 5; ++i)
        drawFrame(*scene.state, 1.0 / 60);
    for (auto _ : st)
        drawFrame(*scene.state, 1.0 / 60);
    st.counters["hits"] = double(view.results.size());
    st.counters["searches"] = double(view.searchesRun);
}

void relayout(benchmark::State& st)
{
    Scene scene;
    scene.viewFrame();
    double w = 500;
    for (auto _ : st) {
        w = w == 500 ? 501 : 500;
        scene.rect.w = w + 2 * helpMargin(*scene.state);
        scene.viewFrame();
    }
    st.counters["layouts"] = double(helpView(*scene.state).layoutsMade);
}

BENCHMARK(termsFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(helpPageFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(resultsFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(relayout)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--one-frame") == 0) {
        Scene scene;
        scene.prepareTerms();
        CALLGRIND_START_INSTRUMENTATION;
        scene.viewFrame();
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("vertices %d draw calls %d\n", scene.state->renderer->lastVertexCount,
            scene.state->renderer->lastDrawCalls);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
