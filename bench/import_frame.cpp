// Frames of the import review, headless (the driverless GL table, a whole
// AppState over the fake window, the real fonts): importFrame/N/R is the
// shell's whole frame on the review step over N times the heavy budget with
// a statement of R rows, checked against the budget when it was loaded.
// Detection runs at load and only the rows in sight are drawn, so every case
// must stay within 2x of 1x with 20 rows.
#include "bench_app.h"
#include "heavy_budget.h"

#include "app/app_state.h"
#include "app/frame.h"
#include "pages/import/import_detect.h"
#include "pages/import/import_page.h"
#include "pages/import/import_wizard.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace qm;

// Rows around the heavy budget's today: every third repeats one of its
// one-offs, every seventh line belongs to a monthly bill.
std::vector<ImportRow> statementRows(const Budget& budget, size_t n)
{
    bench::HeavyRandom rng(77);
    const Date today = bench::heavyToday();
    std::vector<ImportRow> rows(n);
    for (size_t i = 0; i < n; ++i) {
        ImportRow& r = rows[i];
        r.date = addDays(today, -int64_t(rng.range(0, 360)));
        if (i % 3 == 0 && !budget.transactions.empty()) {
            const Transaction& t = budget.transactions[size_t(rng.range(0, int64_t(budget.transactions.size()) - 1))];
            r.description = t.description;
            r.amount = t.amount;
            r.date = t.start_date;
        } else if (i % 7 == 0) {
            r.description = "MONTHLY BILL " + std::string(1, char('A' + i % 5));
            r.amount = -49.99;
        } else {
            r.description = "CARD PURCHASE " + std::to_string(rng.range(1, 100000)) + " STORE "
                + std::string(1, char('A' + rng.range(0, 25)));
            r.amount = -double(rng.range(100, 30000)) / 100;
        }
        r.fitId = std::to_string(i + 1);
    }
    std::sort(
        rows.begin(), rows.end(), [](const ImportRow& a, const ImportRow& b) { return dateLess(a.date, b.date); });
    return rows;
}

struct Scene : bench::BenchApp {
    Scene(int heavyScale, size_t rowCount)
        : BenchApp("qm-import-bench", fillImportPageTable)
    {
        *state->store->budget = bench::heavyBudget(heavyScale);
        ++state->store->change_count;
        state->page = pageImport;
        ImportWizardState& w = importWizardState(*state);
        w.importRows = statementRows(*state->store->budget, rowCount);
        detectRecurringPatterns(w.importRows);
        markImportDuplicates(w.importRows, *state->store->budget);
        w.importCounts = countImportRows(w.importRows);
        w.importStep = importReview;
        for (int i = 0; i < 5; ++i)
            frame();
    }
    void frame() { drawFrame(*state, 1.0 / 60); }
};

void importFrame(benchmark::State& st)
{
    Scene scene(int(st.range(0)), size_t(st.range(1)));
    for (auto _ : st)
        scene.frame();
    st.counters["duplicates"] = double(importWizardState(*scene.state).importCounts.duplicates);
    st.counters["vertices"] = double(scene.state->renderer->lastVertexCount);
}

BENCHMARK(importFrame)
    ->Args({1, 20})
    ->Args({1, 5000})
    ->Args({16, 20})
    ->Args({16, 5000})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
