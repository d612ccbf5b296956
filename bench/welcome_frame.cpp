// One frame of the welcome page in a whole AppState over the fake window
// (recording GL table, nothing drawn on a screen), with the network pump
// running idle, on 1x and 16x the heavy budget. The page shows no figures
// of the budget, so both sizes must cost the same within noise: a growth
// with the budget means the page or the pump walks the records.
#include "../tests/platform/render/mock_gl.h"
#include "app/account_state.h"
#include "app/app_state.h"
#include "app/frame.h"
#include "app/page_table.h"
#include "heavy_budget.h"
#include "model/store.h"
#include "net/net_pages.h"
#include "platform/platform_window_internal.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void welcomeFrame(benchmark::State& bench)
{
    int scale = int(bench.range(0));
    std::string root = (std::filesystem::temp_directory_path() / "qm-welcome-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        bench.SkipWithError("no temporary folder");
        return;
    }
    setenv("XDG_CONFIG_HOME", (root + "/cfg").c_str(), 1);
    setenv("HOME", root.c_str(), 1);
    setenv("QUENMRK_SPLASH", "0", 1);
    // Nothing is queued, so nothing is sent; the address only keeps the
    // pump's picture cache away from a real host.
    setenv("QUENMRK_SERVER", "https://127.0.0.1:9", 1);
    qm::mockgl::install();
    qm::mockgl::state.recording = false;
    qm::glClearColor = [](GLfloat, GLfloat, GLfloat, GLfloat) {};
    qm::glClear = [](GLbitfield) {};
    qm::PageTable table;
    qm::fillNetPageTable(table);
    qm::setPageTable(table);
    {
        qm::PlatformWindowRef platform = qm::newFakePlatformWindow();
        platform->fake->width = 1000;
        platform->fake->height = 760;
        qm::AppWindowRef window = qm::newAppWindowOn(platform, "Quenmark");
        qm::AppStateRef state = qm::newAppState(window);
        *state->store->budget = qm::bench::heavyBudget(scale);
        qm::markDirty(*state->store);
        qm::openWelcomePage(*state, qm::welcomeStart);
        for (int i = 0; i < 3; ++i)
            qm::drawFrame(*state, 1.0 / 60);
        for (auto _ : bench)
            qm::drawFrame(*state, 1.0 / 60);
        bench.counters["transactions"] = double(state->store->budget->transactions.size());
        table.stopWorkers(*state);
        table.joinWorkers(*state);
    }
    qm::setPageTable({});
    std::filesystem::remove_all(root);
}

}  // namespace

BENCHMARK(welcomeFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
