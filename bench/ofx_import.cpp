// Statement import: duplicate marking of a statement against a budget, the
// description similarity beside Python's difflib (when the build finds an
// embeddable Python), reading a large generated statement, and the import
// wizard's two heavy steps in a whole AppState: loading 2,000 rows against
// the heavy budget (read, parse, detection) and committing 5,000 rows with
// their one save. Each must stay under a second. A 50,000-line statement
// is loaded beside frames of the shell, none of which may take more than
// 16 ms of the UI thread.
#include "bench_app.h"
#include "heavy_budget.h"
#include "process_memory.h"

#include "app/frame.h"
#include "core/files.h"
#include "formats/ofx/ofx_import.h"
#include "model/budget.h"
#include "model/dates.h"
#include "pages/import/import_commit.h"
#include "pages/import/import_detect.h"
#include "pages/import/import_page.h"
#include "pages/import/import_wizard.h"

#include <benchmark/benchmark.h>

#if QM_HAVE_PYTHON3_EMBED
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace qm;

namespace {

const char* const kMerchants[] = {"STARBUCKS STORE", "AMAZON MKTPLACE PMTS", "AMZN DIGITAL", "SHELL OIL", "CHEVRON",
    "WHOLEFDS MKT", "TRADER JOE'S", "SAFEWAY", "TARGET", "WALGREENS", "CVS PHARMACY", "UBER TRIP", "LYFT RIDE",
    "NETFLIX.COM", "SPOTIFY USA", "COMCAST CABLE", "PG&E WEB ONLINE", "AT&T PAYMENT", "VERIZON WRLS",
    "CITY OF SEATTLE UTIL", "GEICO AUTO", "STATE FARM INSURANCE", "PLANET FITNESS", "APPLE.COM/BILL", "GOOGLE *YOUTUBE",
    "CHIPOTLE", "MCDONALD'S", "PANERA BREAD", "HOME DEPOT", "LOWE'S", "COSTCO WHSE", "IKEA", "DELTA AIR", "MARRIOTT",
    "AIRBNB", "VENMO PAYMENT", "ZELLE TO J SMITH", "PAYROLL ACME CORP", "IRS TREAS 310", "CHASE CREDIT CRD AUTOPAY"};
const char* const kPrefixes[] = {"", "", "POS DEBIT ", "DEBIT CARD PURCHASE ", "ACH ", "CHECKCARD ", "RECURRING "};
const char* const kPlaces[] = {"", " SEATTLE WA", " NEW YORK NY", " SAN JOSE CA", " AUSTIN TX", " 800-555-0199"};

struct Generator {
    std::mt19937_64 rng{20240601};
    size_t pick(size_t n) { return size_t(rng() % n); }
    std::string description()
    {
        std::string s = std::string(kPrefixes[pick(std::size(kPrefixes))]) + kMerchants[pick(std::size(kMerchants))];
        if (pick(2))
            s += " #" + std::to_string(1000 + pick(9000));
        return s + kPlaces[pick(std::size(kPlaces))];
    }
    double amount() { return -double(100 + pick(30000)) / 100.0; }
};

struct Scenario {
    BudgetPtr budget;
    std::vector<ImportRow> rows;
};

// A year of statement rows against a budget of the same year: a tenth of
// the budget recurs, and about a third of the rows repeat a budget
// transaction (with the bank's own wording now and then).
Scenario makeScenario(size_t rowCount, size_t txCount)
{
    Generator g;
    Scenario s;
    s.budget = newBudget();
    const Date first = date(2024, 1, 1);
    const char* const periods[] = {"nth_1_months", "nth_1_weeks", "nth_2_weeks", "nth_1_months", "nth_3_months"};
    for (size_t k = 0; k < txCount; ++k) {
        Transaction t;
        t.id = int64_t(k) + 1;
        t.description = g.description();
        t.amount = g.amount();
        t.start_date = addDays(first, int64_t(g.pick(365)));
        if (k % 10 == 0) {
            t.is_recurring = true;
            t.recurring_period = periods[g.pick(std::size(periods))];
            t.start_date = addDays(first, -int64_t(g.pick(200)));
        }
        s.budget->transactions.push_back(t);
    }
    for (size_t i = 0; i < rowCount; ++i) {
        ImportRow r;
        if (g.pick(3) == 0) {
            const Transaction& t = s.budget->transactions[g.pick(txCount)];
            r.description = g.pick(4) ? t.description : t.description + " REF " + std::to_string(g.pick(99999));
            r.amount = t.amount;
            r.date = t.is_recurring ? addDays(first, int64_t(g.pick(365))) : addDays(t.start_date, int64_t(g.pick(4)));
        } else {
            r.description = g.description();
            r.amount = g.amount();
            r.date = addDays(first, int64_t(g.pick(365)));
        }
        s.rows.push_back(r);
    }
    return s;
}

void markDuplicates(benchmark::State& state)
{
    const Scenario s = makeScenario(size_t(state.range(0)), size_t(state.range(1)));
    size_t marked = 0;
    for (auto _ : state) {
        std::vector<ImportRow> rows = s.rows;
        markImportDuplicates(rows, *s.budget);
        marked = 0;
        for (const ImportRow& r : rows)
            marked += r.status != importNew;
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["marked"] = double(marked);
}
BENCHMARK(markDuplicates)
    ->Name("qm/mark_duplicates")
    ->Args({500, 500})
    ->Args({2000, 1500})
    ->Args({5000, 2000})
    ->Unit(benchmark::kMillisecond);

// Pairs of bank descriptions, as the duplicate pass compares them.
std::vector<std::pair<std::string, std::string>> descriptionPairs()
{
    Generator g;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int i = 0; i < 2000; ++i) {
        std::string a = g.description();
        std::string b = g.pick(3) ? g.description() : a + " REF " + std::to_string(g.pick(99999));
        pairs.emplace_back(a, b);
    }
    return pairs;
}

void similarity(benchmark::State& state)
{
    const auto pairs = descriptionPairs();
    for (auto _ : state) {
        double sum = 0;
        for (const auto& [a, b] : pairs)
            sum += descriptionSimilarity(a, b);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * pairs.size()));
}
BENCHMARK(similarity)->Name("qm/similarity/bank_pairs")->Unit(benchmark::kMicrosecond);

#if QM_HAVE_PYTHON3_EMBED
// The same pairs through difflib.SequenceMatcher(None, a, b, autojunk=False).
void similarityDifflib(benchmark::State& state)
{
    if (!Py_IsInitialized())
        Py_Initialize();
    const auto pairs = descriptionPairs();
    PyObject* list = PyList_New(Py_ssize_t(pairs.size()));
    for (size_t i = 0; i < pairs.size(); ++i)
        PyList_SET_ITEM(list, Py_ssize_t(i),
            Py_BuildValue("(y#y#)", pairs[i].first.data(), Py_ssize_t(pairs[i].first.size()), pairs[i].second.data(),
                Py_ssize_t(pairs[i].second.size())));
    PyObject* globals = PyDict_New();
    PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
    PyObject* done =
        PyRun_String("import difflib\n"
                     "def run(pairs):\n"
                     "    return sum(difflib.SequenceMatcher(None, a, b, autojunk=False).ratio() for a, b in pairs)\n",
            Py_file_input, globals, globals);
    PyObject* run = done ? PyDict_GetItemString(globals, "run") : nullptr;
    if (!run) {
        PyErr_Print();
        state.SkipWithError("difflib is not available");
        return;
    }
    for (auto _ : state) {
        PyObject* sum = PyObject_CallOneArg(run, list);
        benchmark::DoNotOptimize(sum);
        Py_XDECREF(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * pairs.size()));
    Py_XDECREF(done);
    Py_DECREF(globals);
    Py_DECREF(list);
}
BENCHMARK(similarityDifflib)->Name("difflib/similarity/bank_pairs")->Unit(benchmark::kMicrosecond);
#endif

// A statement of n transactions in the SGML form banks send, about 300
// bytes each (50,000 make about 15 MB).
std::string makeStatement(size_t n)
{
    Generator g;
    std::string s = "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nCHARSET:1252\n\n<OFX>\n<BANKMSGSRSV1>\n<STMTTRNRS>\n"
                    "<STMTRS>\n<CURDEF>USD\n<BANKTRANLIST>\n<DTSTART>20200101\n<DTEND>20241231\n";
    char buf[160];
    for (size_t i = 0; i < n; ++i) {
        Date d = addDays(date(2020, 1, 1), int64_t(g.pick(1800)));
        std::snprintf(buf, sizeof buf, "<DTPOSTED>%04d%02d%02d120000.000[-5:EST]\n<TRNAMT>%.2f\n<FITID>%zu\n", d.year,
            d.month, d.day, g.amount(), 9000000 + i);
        s += "<STMTTRN>\n<TRNTYPE>DEBIT\n";
        s += buf;
        s += "<DTUSER>" + std::string(buf + 10, 8) + "\n<REFNUM>REF" + std::to_string(70000000 + i)
            + "\n<SIC>5411\n<PAYEEID>" + std::to_string(g.pick(100000)) + "\n<NAME>" + g.description()
            + "\n<MEMO>POS PURCHASE CARD ENDING 1234 &amp; AUTH " + std::to_string(g.pick(1000000)) + " TERMINAL "
            + std::to_string(g.pick(10000))
            + "\n<CURRENCY>\n<CURRATE>1.0\n<CURSYM>USD\n"
              "</CURRENCY>\n</STMTTRN>\n";
    }
    return s + "</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n</BANKMSGSRSV1>\n</OFX>\n";
}

void parseStatement(benchmark::State& state)
{
    const std::string text = makeStatement(size_t(state.range(0)));
    for (auto _ : state) {
        std::vector<ImportRow> rows = parseOfx(text);
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
    state.SetComplexityN(int64_t(text.size()));
}
BENCHMARK(parseStatement)
    ->Name("qm/parse_ofx")
    ->Arg(5000)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void loadStatement(benchmark::State& state)
{
    bench::BenchApp app("qm-import-load", fillImportPageTable);
    *app.state->store->budget = bench::heavyBudget(1);
    ++app.state->store->change_count;
    const std::string path = app.root + "/statement.qfx";
    writeFileAtomic(path, makeStatement(size_t(state.range(0))));
    size_t rows = 0;
    for (auto _ : state) {
        loadImportFile(*app.state, path);
        finishImportLoad(*app.state);
        rows = importWizardState(*app.state).importRows.size();
    }
    state.counters["rows"] = double(rows);
    state.counters["duplicates"] = double(importWizardState(*app.state).importCounts.duplicates);
}
BENCHMARK(loadStatement)->Name("qm/import/load_heavy1")->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 50,000-line statement chosen on the Import page over N times the heavy
// budget: the shell's whole frames while it loads, each timed on the UI
// thread's own clock. The goal is the worst frame's ms (worst_ms) within
// 16; the control is the same load done whole on the calling thread, as a
// frame used to hold it.
void framesWhileLoading(benchmark::State& state)
{
    bench::BenchApp app("qm-import-frames", fillImportPageTable);
    *app.state->store->budget = bench::heavyBudget(int(state.range(0)));
    ++app.state->store->change_count;
    app.state->page = pageImport;
    const std::string path = app.root + "/statement.qfx";
    writeFileAtomic(path, makeStatement(size_t(state.range(1))));
    for (int i = 0; i < 3; ++i)
        drawFrame(*app.state, 1.0 / 60);
    std::vector<double> frames;
    for (auto _ : state) {
        restartImportWizard(*app.state);
        frames.clear();
        loadImportFile(*app.state, path);
        while (!importLoadingName(importWizardState(*app.state)).empty()) {
            const double before = bench::threadCpuMs();
            drawFrame(*app.state, 1.0 / 60);
            frames.push_back(bench::threadCpuMs() - before);
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        // The first frame of the review it arrives in.
        const double before = bench::threadCpuMs();
        drawFrame(*app.state, 1.0 / 60);
        frames.push_back(bench::threadCpuMs() - before);
    }
    // Where the worst frame fell, as a share of the load's frames.
    state.counters["worst_at"] = double(std::max_element(frames.begin(), frames.end()) - frames.begin())
        / double(std::max<size_t>(1, frames.size() - 1));
    std::sort(frames.begin(), frames.end());
    state.counters["worst_ms"] = frames.back();
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["frames"] = double(frames.size());
    state.counters["rows"] = double(importWizardState(*app.state).importRows.size());
}
BENCHMARK(framesWhileLoading)
    ->Name("qm/import/frames_while_loading")
    ->Args({1, 50000})
    ->Args({16, 50000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

void loadOnOneThread(benchmark::State& state)
{
    const Budget budget = bench::heavyBudget(int(state.range(0)));
    const std::string text = makeStatement(size_t(state.range(1)));
    for (auto _ : state) {
        std::vector<ImportRow> rows = parseOfx(text);
        detectRecurringPatterns(rows);
        markImportDuplicates(rows, budget);
        benchmark::DoNotOptimize(countImportRows(rows));
    }
}
BENCHMARK(loadOnOneThread)
    ->Name("control/import/load_on_one_thread")
    ->Args({1, 50000})
    ->Args({16, 50000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

void commitStatement(benchmark::State& state)
{
    bench::BenchApp app("qm-import-commit", fillImportPageTable);
    *app.state->store->budget = bench::heavyBudget(1);
    ++app.state->store->change_count;
    const std::vector<ImportRow> rows = parseOfx(makeStatement(size_t(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        ImportWizardState& w = importWizardState(*app.state);
        w.importRows = rows;
        state.ResumeTiming();
        commitImport(*app.state);
    }
    state.counters["transactions"] = double(app.state->store->budget->transactions.size());
}
BENCHMARK(commitStatement)->Name("qm/import/commit_heavy1")->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
