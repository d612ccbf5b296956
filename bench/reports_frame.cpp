// Frames of the Reports page, headless (the driverless GL table, a whole
// AppState over the fake window, the real fonts):
// - reportsFrame/N/M: the shell's whole frame with the Reports page over N
//   times the heavy budget (0: an empty budget), for a month (M = 1) or a
//   year (M = 12), the model already worked out. Tables draw only the rows in
//   sight, so every case must stay within 2x of the empty month.
// - listFolder100k: a folder of 100,000 files listed once.
// - dialogFrame100k/N: a frame of the file dialog open on that folder, over
//   the page with N times the heavy budget; it must stay within the same
//   budget.
//
// With --one-frame it draws warm-up frames, then exactly one frame of the
// page with 16x the heavy budget over a year between callgrind's start and
// stop requests, for
//   valgrind --tool=callgrind --instr-atstart=no bench_reports_frame --one-frame
// (bench/reports_frame_callgrind.py compares the count with a committed baseline).
#include "bench_app.h"
#include "heavy_budget.h"

#include "app/app_state.h"
#include "app/file_dialog.h"
#include "app/file_dialog_internal.h"
#include "app/frame.h"
#include "pages/reports/report_export.h"
#include "pages/reports/report_model.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using namespace qm;

struct Scene : bench::BenchApp {
    Scene(int heavyScale, int months)
        : BenchApp("qm-reports-bench", fillReportPageTable)
    {
        if (heavyScale > 0)
            *state->store->budget = bench::heavyBudget(heavyScale);
        ++state->store->change_count;
        state->page = pageReports;
        Date today = bench::heavyToday();
        reportPage(*state).from = Date{today.year, months == 12 ? 1 : today.month, 1};
        reportPage(*state).to = lastDayOfMonth(today.year, months == 12 ? 12 : today.month);
        for (int i = 0; i < 5; ++i)
            frame();
    }
    void frame() { drawFrame(*state, 1.0 / 60); }
};

void reportsFrame(benchmark::State& st)
{
    Scene scene(int(st.range(0)), int(st.range(1)));
    int64_t before = reportModel(*scene.state).computations;
    for (auto _ : st)
        scene.frame();
    st.counters["rows"] = double(reportModel(*scene.state).rows.size());
    st.counters["recomputed"] = double(reportModel(*scene.state).computations - before);
    st.counters["vertices"] = double(scene.state->renderer->lastVertexCount);
}

// 100,000 empty files, made once per process.
const std::string& bigFolder()
{
    static const std::string folder = [] {
        std::string f = (std::filesystem::temp_directory_path() / "qm-bench-100k-XXXXXX").string();
        if (!mkdtemp(f.data()))
            std::abort();
        for (int i = 0; i < 100000; ++i) {
            std::string name = f + "/statement-" + std::to_string(i) + (i % 3 ? ".ofx" : ".txt");
            int fd = ::open(name.c_str(), O_CREAT | O_WRONLY, 0600);
            if (fd < 0)
                std::abort();
            ::close(fd);
        }
        std::atexit([] { std::filesystem::remove_all(bigFolder()); });
        return f;
    }();
    return folder;
}

void listFolder100k(benchmark::State& st)
{
    const std::string& folder = bigFolder();
    size_t n = 0;
    for (auto _ : st)
        n = listFolderEntries(folder, {".ofx"}).size();
    st.counters["entries"] = double(n);
}

void dialogFrame100k(benchmark::State& st)
{
    const std::string& folder = bigFolder();
    Scene scene(int(st.range(0)), 1);
    fileDialogState(*scene.state).folder = folder;
    openFileDialog(*scene.state, {"Import", false, {}}, {".ofx", ".qfx"}, "");
    for (int i = 0; i < 3; ++i)
        scene.frame();
    for (auto _ : st)
        scene.frame();
    st.counters["entries"] = double(fileDialogState(*scene.state).entries.size());
}

BENCHMARK(reportsFrame)
    ->Args({0, 1})
    ->Args({0, 12})
    ->Args({1, 1})
    ->Args({1, 12})
    ->Args({16, 1})
    ->Args({16, 12})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(listFolder100k)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(dialogFrame100k)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--one-frame") == 0) {
        Scene scene(16, 12);
        CALLGRIND_START_INSTRUMENTATION;
        scene.frame();
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("rows %zu vertices %d draw calls %d\n", reportModel(*scene.state).rows.size(),
            scene.state->renderer->lastVertexCount, scene.state->renderer->lastDrawCalls);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
