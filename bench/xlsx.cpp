// A report-like workbook of 10,000 rows over five sheets, written by our
// XLSX writer and, on the same cells, by python3-xlsxwriter. The peer runs in
// its own interpreter and times only its own writing (no start-up, no reading
// of the cells), which the benchmark takes as the iteration's time. Both
// report the file's size as the counter "bytes".
#include "formats/xlsx.h"
#include "core/json.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace qm;

constexpr int kSheets = 5;
constexpr int kRowsPerSheet = 2000;
const char* kRed = "FFBD3838";
const char* kGreen = "FF21763C";

// Six columns as the report's transaction list has them: date, description,
// category, account, a coloured amount and a running total.
const std::vector<XlsxSheet>& sheets()
{
    static const std::vector<XlsxSheet> made = [] {
        const char* words[] = {"Rent", "Groceries", "Salary", "Coffee & cake", "Electricity", "Insurance", "Gym",
            "Caf\u00e9 cr\u00e8me", "Savings transfer", "Phone"};
        const char* categories[] = {"Housing", "Food", "Income", "Utilities", "Health", ""};
        std::vector<XlsxSheet> out;
        for (int s = 0; s < kSheets; ++s) {
            XlsxSheet sheet;
            sheet.name = "Sheet " + std::to_string(s + 1);
            sheet.widths = {12, 40, 18, 18, 14, 16};
            sheet.rows.push_back({xlsxText("Date", false, true), xlsxText("Description", false, true),
                xlsxText("Category", false, true), xlsxText("Account", false, true), xlsxText("Amount", false, true),
                xlsxText("Running Total", false, true)});
            double total = 1000;
            for (int r = 1; r < kRowsPerSheet; ++r) {
                int i = s * kRowsPerSheet + r;
                double amount = ((i * 7919) % 200000 - 120000) / 100.0;
                total += amount;
                char date[16];
                std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + i % 12, 1 + i % 28);
                sheet.rows.push_back(
                    {xlsxText(date), xlsxText(std::string(words[i % 10]) + " " + std::to_string(i % 97)),
                        xlsxText(categories[i % 6]), xlsxText(i % 3 ? "Checking" : "Credit card"),
                        xlsxMoney(amount, false, amount < 0 ? kRed : kGreen), xlsxMoney(total)});
            }
            out.push_back(std::move(sheet));
        }
        return out;
    }();
    return made;
}

// Writes the cells for the peer; the caller removes the file.
std::string specFile()
{
    Json spec = Json::array();
    for (const XlsxSheet& sheet : sheets()) {
        Json rows = Json::array();
        for (const XlsxRow& row : sheet.rows) {
            Json cells = Json::array();
            for (const XlsxCell& c : row)
                cells.push_back({c.kind, c.text, c.value, c.bold, c.header, c.colour});
            rows.push_back(std::move(cells));
        }
        spec.push_back({{"name", sheet.name}, {"widths", sheet.widths}, {"rows", std::move(rows)}});
    }
    std::string file = "/tmp/qm-bench-xlsx-" + std::to_string(getpid()) + ".json";
    std::ofstream(file) << dumpJson(spec);
    return file;
}

void ours(benchmark::State& state)
{
    const auto& data = sheets();
    size_t bytes = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::vector<uint8_t> file = writeXlsx(data);
        benchmark::DoNotOptimize(file.data());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bytes = file.size();
    }
    state.counters["bytes"] = double(bytes);
}

void xlsxwriter(benchmark::State& state)
{
    const std::string spec = specFile();
    const std::string out = spec + ".xlsx";
    const std::string command = "/usr/bin/python3 " QM_SOURCE_DIR "/bench/xlsx_peer.py " + spec + " " + out;
    double bytes = 0;
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        double seconds = -1;
        if (!pipe || std::fscanf(pipe, "%lf %lf", &seconds, &bytes) != 2 || pclose(pipe) != 0 || seconds < 0) {
            state.SkipWithError("python3-xlsxwriter is not available");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["bytes"] = bytes;
    std::remove(out.c_str());
    std::remove(spec.c_str());
}

}  // namespace

// Both sides use manual time, so that their names match case for case.
BENCHMARK(ours)->Name("qm/xlsx_10k_rows_5_sheets")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(xlsxwriter)->Name("xlsxwriter/xlsx_10k_rows_5_sheets")->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
