// One frame of the welcome page in a whole AppState over the fake window
// (recording GL table, nothing drawn on a screen), with the network pump
// running idle, on 1x and 16x the heavy budget. The page shows no figures
// of the budget, so both sizes must cost the same within noise: a growth
// with the budget means the page or the pump walks the records.
#include "app/account_state.h"
#include "app/frame.h"
#include "bench_app.h"
#include "heavy_budget.h"
#include "model/store.h"
#include "pages/service_pages.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void welcomeFrame(benchmark::State& bench)
{
    // Nothing is queued, so nothing is sent; the address only keeps the
    // pump's picture cache away from a real host.
    setenv("QUENMRK_SERVER", "https://127.0.0.1:9", 1);
    qm::bench::BenchApp app("qm-welcome-bench", qm::fillServicePageTable, 1000, 760);
    qm::AppState& state = *app.state;
    *state.store->budget = qm::bench::heavyBudget(int(bench.range(0)));
    qm::markDirty(*state.store);
    state.termsDue = false;  // a fresh folder would open on the terms page
    qm::openWelcomePage(state, qm::welcomeStart);
    for (int i = 0; i < 3; ++i)
        qm::drawFrame(state, 1.0 / 60);
    for (auto _ : bench)
        qm::drawFrame(state, 1.0 / 60);
    bench.counters["transactions"] = double(state.store->budget->transactions.size());
    qm::pageTable().stopWorkers(state);
    qm::pageTable().joinWorkers(state);
}

}  // namespace

BENCHMARK(welcomeFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
