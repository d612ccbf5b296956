// The report files of a year of the heavy budget, all accounts: the PDF and
// the workbook, built on the UI thread when the user saves them. Counters
// give the file's size and the peak memory the build added, measured in a
// fresh child process so that earlier iterations do not hide it.
#include "heavy_budget.h"
#include "model/store.h"
#include "pages/reports/report_pdf.h"
#include "pages/reports/report_xlsx.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using namespace qm;

const ReportModel& yearModel()
{
    static const ReportModel model = [] {
        LocalStorePtr store = newLocalStore("");
        *store->budget = bench::heavyBudget(1);
        const Date today = bench::heavyToday();
        ReportModel m;
        refreshReportModel(m, *store, addYears(today, -1), today, 0, today);
        return m;  // its rows own their texts
    }();
    return model;
}

const FontSet& fonts()
{
    static const FontSet set = builtinReportFonts();
    return set;
}

PdfDateTime fixedClock() { return {2026, 6, 15, 12, 0, 0}; }

// Kilobytes of the process's peak resident set.
long peakKb()
{
    long kb = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                kb = std::atol(line + 6);
        std::fclose(f);
    }
    return kb;
}

// The peak resident memory one build adds, in a child whose peak was reset.
double peakBytesOf(const std::function<size_t()>& build)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        malloc_trim(0);  // freed blocks the build would reuse unseen go back first
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);  // resets the peak to what is resident now
            std::fclose(f);
        }
        const long before = peakKb();
        build();
        const double added = double(peakKb() - before) * 1024;
        if (write(fds[1], &added, sizeof added) != ssize_t(sizeof added))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    double added = -1;
    if (read(fds[0], &added, sizeof added) != ssize_t(sizeof added))
        added = -1;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return added;
}

void pdfReportYear(benchmark::State& state)
{
    const ReportModel& m = yearModel();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string pdf = buildPdfReport(m, "All accounts", fonts(), fixedClock);
        bytes = pdf.size();
        benchmark::DoNotOptimize(pdf.data());
    }
    state.counters["rows"] = double(m.rows.size());
    state.counters["bytes"] = double(bytes);
    state.counters["peak_MB"] =
        peakBytesOf([&m] { return buildPdfReport(m, "All accounts", fonts(), fixedClock).size(); }) / 1e6;
}

void xlsxReportYear(benchmark::State& state)
{
    const ReportModel& m = yearModel();
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> sheet = buildXlsxReport(m, "All accounts");
        bytes = sheet.size();
        benchmark::DoNotOptimize(sheet.data());
    }
    state.counters["rows"] = double(m.rows.size());
    state.counters["bytes"] = double(bytes);
    state.counters["peak_MB"] = peakBytesOf([&m] { return buildXlsxReport(m, "All accounts").size(); }) / 1e6;
}

BENCHMARK(pdfReportYear)->Name("qm/buildPdfReport_year")->Unit(benchmark::kMillisecond);
BENCHMARK(xlsxReportYear)->Name("qm/buildXlsxReport_year")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
