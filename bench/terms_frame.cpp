// One frame of the terms page, and one with the update dialog open, in a
// whole AppState over the fake window (recording GL table, nothing drawn on
// a screen) on 1x and 16x the heavy budget. Neither shows figures of the
// budget, so both sizes must cost the same within noise: a growth with the
// budget means the page, the dialog or the updater's poll walks the records.
#include "app/frame.h"
#include "bench_app.h"
#include "heavy_budget.h"
#include "model/store.h"
#include "net/updater.h"
#include "pages/help/help_page.h"
#include "pages/service_pages.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

enum Scene { sceneTerms = 0, sceneDialog = 1 };

void frame(benchmark::State& bench, Scene scene)
{
    setenv("QUENMRK_SERVER", "https://127.0.0.1:9", 1);
    // The pages under the dialog are the shell's stand-ins: the calendar's
    // own cost with the budget is measured in calendar_page.cpp.
    qm::bench::BenchApp app(
        "qm-terms-bench",
        [](qm::PageTable& table) {
            qm::fillHelpPageTable(table);
            qm::fillServicePageTable(table);
        },
        1000, 760);
    qm::AppState& state = *app.state;
    *state.store->budget = qm::bench::heavyBudget(int(bench.range(0)));
    qm::markDirty(*state.store);
    state.page = qm::pageCalendar;
    state.termsDue = scene == sceneTerms;
    if (scene == sceneDialog) {
        qm::UpdaterState& u = qm::updaterState(state);
        u.status.state = qm::updAvailable;
        u.status.envelope.version = "1.2.0";
        u.status.envelope.notes_url = "https://quenmark.example/notes";
        u.status.assetFound = true;
        u.status.asset.size = 52428800;
        u.dialog->open = true;
    }
    for (int i = 0; i < 3; ++i)
        qm::drawFrame(state, 1.0 / 60);
    for (auto _ : bench)
        qm::drawFrame(state, 1.0 / 60);
    bench.counters["transactions"] = double(state.store->budget->transactions.size());
    qm::pageTable().stopWorkers(state);
    qm::pageTable().joinWorkers(state);
}

void termsFrame(benchmark::State& bench) { frame(bench, sceneTerms); }
void updateDialogFrame(benchmark::State& bench) { frame(bench, sceneDialog); }

}  // namespace

BENCHMARK(termsFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(updateDialogFrame)
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
