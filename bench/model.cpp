// Balances and occurrence expansion on the generated heavy budget at 1x, 4x
// and 16x its size, so that the growth of each cost with the budget shows.
#include "heavy_budget.h"
#include "model/adjustments.h"
#include "model/balances.h"
#include "model/ledger.h"
#include "model/occurrences.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/reports.h"
#include "model/store.h"
#include "model/store_sync.h"
#include "model/transaction_edits.h"
#include "pages/reports/report_model.h"

#include "core/json.h"
#include "model/budget_json.h"
#include "process_memory.h"

#include <benchmark/benchmark.h>

#if QM_HAVE_PYTHON3_EMBED
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#endif

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <map>

namespace {

using namespace qm;

const Budget& budgetAt(int scale)
{
    static std::map<int, Budget> budgets;
    auto it = budgets.find(scale);
    if (it == budgets.end())
        it = budgets.emplace(scale, bench::heavyBudget(scale)).first;
    return it->second;
}

// A store holding the heavy budget, as the program holds an open one; its
// projection is made by the first figure asked of it.
LocalStore& storeAt(int scale)
{
    static std::map<int, LocalStorePtr> stores;
    auto it = stores.find(scale);
    if (it == stores.end()) {
        LocalStorePtr store = newLocalStore("");
        *store->budget = budgetAt(scale);
        it = stores.emplace(scale, store).first;
    }
    return *it->second;
}

void balanceOneAccount(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceAt(b, bench::heavyToday(), 1));
}

void balanceAllAccounts(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceAt(b, bench::heavyToday(), 0));
}

// What a month view needs: every transaction's occurrences in the month,
// with the adjustments gathered once for the month.
void expandMonth(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    const Date from = firstOfMonth(today.year, today.month), to = lastDayOfMonth(today);
    std::vector<Occurrence> out;
    size_t count = 0;
    for (auto _ : state) {
        AdjustmentIndex index = indexAdjustments(b.transaction_adjustments, from, to);
        count = 0;
        for (const Transaction& t : b.transactions) {
            expandIndexed(t, index, out);
            count += out.size();
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["occurrences"] = double(count);
}

// What one calendar frame asks for: the month grid of the current month,
// the header's balances and the account switcher's list.
void monthLedgerOf(benchmark::State& state, int64_t accountId)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state)
        benchmark::DoNotOptimize(monthLedger(storeProjection(store), today.year, today.month, accountId, today));
}

void monthLedgerOneAccount(benchmark::State& state) { monthLedgerOf(state, 1); }
void monthLedgerAllAccounts(benchmark::State& state) { monthLedgerOf(state, 0); }

// The day view's figures, read from the store's projection.
void dayLedgerToday(benchmark::State& state)
{
    LocalStore& store = storeAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(dayLedger(storeProjection(store), bench::heavyToday(), 1, bench::heavyToday()));
}

void monthEndBalancesToday(benchmark::State& state)
{
    LocalStore& store = storeAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(monthEndBalances(storeProjection(store), 1, bench::heavyToday()));
}

void accountSummariesToday(benchmark::State& state)
{
    LocalStore& store = storeAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(accountSummaries(storeProjection(store), bench::heavyToday()));
}

// What one calendar frame reads of the projection, as the page reads it: the
// days of the current month's grid (shared with the projection, as the grid
// draws them), the header's balance, and the account switcher's list (drawn
// while its popup is open).
void calendarFigures(const BudgetProjection& p, int64_t accountId, Date today)
{
    benchmark::DoNotOptimize(monthWeeks(p, today.year, today.month, accountId, today));
    benchmark::DoNotOptimize(monthEndBalances(p, accountId, today));
    benchmark::DoNotOptimize(accountSummaries(p, today));
}

// One frame of the calendar as the program draws it, read from the open
// budget's projection, for one account or (as a budget opens) all of them.
void calendarFrameOf(benchmark::State& state, int64_t accountId)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state)
        calendarFigures(storeProjection(store), accountId, today);
}

void calendarFrame(benchmark::State& state) { calendarFrameOf(state, 1); }
void calendarFrameAllAccounts(benchmark::State& state) { calendarFrameOf(state, 0); }

// The first frame after a change no note accounts for (as a sync's): the
// projection is made again.
void calendarFrameAfterEdit(benchmark::State& state)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state) {
        markDirty(store);
        calendarFigures(storeProjection(store), 1, today);
    }
}

enum class EditKind { oneOff, occurrence, anchor, series, removal };

// The first frame after one edit of the open budget, as the program draws
// it: the projection brought up to date, then the calendar's figures. The
// edit itself is the store's work and is not timed. Edits flip an amount
// back and forth, so the budget the other cases read stays as it was.
void frameAfterEdit(benchmark::State& state, EditKind kind)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Budget& b = *store.budget;
    const Date today = bench::heavyToday();
    const Date monthStart = firstOfMonth(today.year, today.month);
    auto frame = [&] { calendarFigures(storeProjection(store), 1, today); };
    // A one-off and a series of the first account with a date this month.
    int64_t oneOff = 0, series = 0;
    Date occurrence = today;
    for (const Transaction& t : b.transactions) {
        if (t.account != bench::kHeavyAccounts[0] || isTransfer(t))
            continue;
        if (!t.is_recurring && !oneOff && dateLessEq(monthStart, t.start_date) && dateLessEq(t.start_date, today))
            oneOff = t.id;
        if (t.is_recurring && !series) {
            const std::vector<Occurrence> dates = occurrencesInRange(b, t, monthStart, today);
            if (!dates.empty() && dates.front().adjustment_id == 0) {
                series = t.id;
                occurrence = dates.front().date;
            }
        }
    }
    frame();
    const int32_t madeAt = storeProjection(store).madeAt;
    bool flip = false;
    Transaction removed;
    for (auto _ : state) {
        flip = !flip;
        const double amount = flip ? -123.45 : -67.89;
        if (kind == EditKind::oneOff || kind == EditKind::series) {
            const int64_t id = kind == EditKind::oneOff ? oneOff : series;
            Transaction e = b.transactions[*findTransaction(b, id)];
            e.amount = amount;
            updateTransaction(store, id, e, false, today, false);
        } else if (kind == EditKind::removal) {
            // Removes the one-off and adds it back in turn.
            if (flip) {
                removed = b.transactions[*findTransaction(b, oneOff)];
                deleteTransaction(store, oneOff);
            } else {
                oneOff = addTransaction(store, removed).id;
            }
        } else if (kind == EditKind::occurrence) {
            setOccurrenceAmount(store, series, occurrence, amount, true, 0);
        } else {
            setAnchor(store, subDays(today, 10), -amount * 100, 1);
        }
        const auto start = std::chrono::steady_clock::now();
        frame();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["made_anew"] = storeProjection(store).madeAt != madeAt;
}

// Opening the heavy budget from its files in a fresh process, as the program
// does, then showing a year of months: the memory the process gained against
// the heap the budget itself holds, and the projection's share.
void openedBudgetMemory(benchmark::State& state)
{
    const int scale = int(state.range(0));
    char folder[] = "/tmp/qm-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    {
        LocalStorePtr store = newLocalStore(folder);
        *store->budget = bench::heavyBudget(scale);
        saveStore(*store);
    }
    double figures[4] = {};
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            malloc_trim(0);  // what the parent freed is not the child's
            const size_t rss0 = bench::residentBytes(), heap0 = bench::heapInUse();
            LocalStorePtr store = openStore(folder);
            const size_t heapBudget = bench::heapInUse() - heap0;
            const BudgetProjection& p = storeProjection(*store);
            const Date today = bench::heavyToday();
            for (int m = 0; m < 12; ++m) {
                const Date month = addMonths(today, -m);
                benchmark::DoNotOptimize(monthLedger(p, month.year, month.month, 0, today));
            }
            benchmark::DoNotOptimize(accountSummaries(p, today));
            const double out[4] = {double(heapBudget), double(bench::heapInUse() - heap0 - heapBudget),
                double(bench::residentBytes() - rss0), 0};
            if (write(fds[1], out, sizeof out) != ssize_t(sizeof out))
                _exit(1);
            _exit(0);
        }
        close(fds[1]);
        if (read(fds[0], figures, sizeof figures) != ssize_t(sizeof figures))
            state.SkipWithError("the child gave no figures");
        close(fds[0]);
        waitpid(child, nullptr, 0);
    }
    std::filesystem::remove_all(folder);
    state.counters["budget_MB"] = figures[0] / 1e6;
    state.counters["projection_MB"] = figures[1] / 1e6;
    state.counters["resident_MB"] = figures[2] / 1e6;
    state.counters["resident_per_budget"] = figures[0] > 0 ? figures[2] / figures[0] : 0;
}

void balanceSeriesYear(benchmark::State& state)
{
    const Budget& b = budgetAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    for (auto _ : state)
        benchmark::DoNotOptimize(balanceSeries(b, subDays(today, 364), today, 1, today));
}

// The last day of the range of the ask'th question: today for every ask, or
// stepping back a week at each ask through a year of weeks. The program keeps
// a result until its question changes, so it never asks the same twice in a
// row (a user steps through periods or types on); asked again and again, the
// walk over a small budget is short enough for the processor to learn all
// its branches, which it cannot for a large one.
Date askedEnd(Date today, int64_t ask, bool stepping) { return stepping ? subDays(today, 7 * (ask % 52)) : today; }

void searchTwoYears(benchmark::State& state, bool stepping)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    SearchFilter filter;
    // The search page keeps its results from one search to the next.
    SearchHits found;
    int64_t ask = 0;
    for (auto _ : state) {
        const Date end = askedEnd(today, ask++, stepping);
        filter.from = addYears(end, -1);
        filter.to = addYears(end, 1);
        searchOccurrences(storeProjection(store), filter, end, found);
        benchmark::DoNotOptimize(found);
    }
    state.counters["hits"] = double(found.size());
}

void reportYear(benchmark::State& state, bool stepping)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    // The reports page keeps its rows from one refresh to the next.
    ReportRows found;
    int64_t ask = 0;
    for (auto _ : state) {
        const Date end = askedEnd(today, ask++, stepping);
        reportRows(storeProjection(store), subDays(end, 364), end, 0, found);
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows"] = double(found.size());
}

// The reports page's figures over a month (0), a year (1) or ten years (2)
// ending today, all accounts, worked out anew each time from the store's
// projection (kept, as the calendar has remade it after an edit); frames
// without a change only compare the key.
void reportModelRefresh(benchmark::State& state)
{
    LocalStore& store = storeAt(int(state.range(0)));
    const Date today = bench::heavyToday();
    const Date from = state.range(1) == 0 ? firstOfMonth(today.year, today.month)
        : state.range(1) == 1             ? addYears(today, -1)
                                          : addYears(today, -10);
    const Date to = state.range(1) == 0 ? lastDayOfMonth(today) : today;
    ReportModel model;
    storeProjection(store);
    for (auto _ : state) {
        model.cacheKey.clear();
        refreshReportModel(model, store, from, to, 0, today);
        benchmark::DoNotOptimize(model.rows.rows.data());
    }
    state.counters["rows"] = double(model.rows.size());
    state.counters["days"] = double(model.dailyBalances.size());
}

// The service's ids for 35,000 transactions, applied back and forth.
void remapTransactions(benchmark::State& state)
{
    LocalStorePtr store = newLocalStore("");
    *store->budget = budgetAt(int(state.range(0)));
    std::vector<IdPair> there, back;
    for (int64_t id = 1; id <= 35000; ++id) {
        there.push_back({id, id + 1000000000});
        back.push_back({id + 1000000000, id});
    }
    bool forth = true;
    for (auto _ : state) {
        remapDataIds(*store, entTransaction, forth ? there : back);
        forth = !forth;
    }
}

// A device's budget of 5,000 transactions (with their adjustments and
// anchors) merged into the account's budget.
void mergeDeviceBudget(benchmark::State& state)
{
    const Budget& target = budgetAt(int(state.range(0)));
    const Budget& source = budgetAt(1);
    Budget other;
    other.accounts = source.accounts;
    other.categories = source.categories;
    other.transactions.assign(source.transactions.begin(), source.transactions.begin() + 5000);
    for (const TransactionAdjustment& a : source.transaction_adjustments)
        if (a.transaction_id <= 5000)
            other.transaction_adjustments.push_back(a);
    other.running_total_adjustments = source.running_total_adjustments;
    for (auto _ : state) {
        state.PauseTiming();
        LocalStorePtr store = newLocalStore("");
        *store->budget = target;
        state.ResumeTiming();
        benchmark::DoNotOptimize(mergeBudget(*store, other));
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.counters["adjustments"] = double(other.transaction_adjustments.size());
}

// A sync of the whole budget, both ways: the request carrying every record
// as a create (an upload after sign-up), and the reply carrying the budget
// as a snapshot. The main thread builds the ops (journalToJson) and installs
// the snapshot (budgetFromJson, replaceBudget, saving); the worker turns the
// request into text and parses the reply.
struct SyncTexts {
    LocalStorePtr store;  // the heavy budget with every record journaled
    std::string request;
    std::string snapshot;
};

const SyncTexts& syncTextsAt(int scale)
{
    static std::map<int, SyncTexts> texts;
    auto it = texts.find(scale);
    if (it == texts.end()) {
        SyncTexts t;
        t.store = newLocalStore("");
        *t.store->budget = budgetAt(scale);
        rekeyForUpload(*t.store);
        t.request = dumpJson(Json{{"ops", journalToJson(*t.store)}, {"etag", ""}});
        t.snapshot = dumpJson(Json{{"snapshot", budgetToJson(budgetAt(scale))}, {"etag", "e"}});
        it = texts.emplace(scale, std::move(t)).first;
    }
    return it->second;
}

void syncRequestOps(benchmark::State& state)
{
    const SyncTexts& t = syncTextsAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(journalToJson(*t.store));
    state.counters["ops"] = double(t.store->journal.size());
}

void syncRequestText(benchmark::State& state)
{
    const SyncTexts& t = syncTextsAt(int(state.range(0)));
    const Json body{{"ops", journalToJson(*t.store)}, {"etag", ""}};
    for (auto _ : state)
        benchmark::DoNotOptimize(dumpJson(body));
    state.counters["MB"] = double(t.request.size()) / 1e6;
}

void syncSnapshotParse(benchmark::State& state)
{
    const SyncTexts& t = syncTextsAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(parseJson(t.snapshot));
    state.counters["MB"] = double(t.snapshot.size()) / 1e6;
}

void syncSnapshotInstall(benchmark::State& state)
{
    const SyncTexts& t = syncTextsAt(int(state.range(0)));
    const Json reply = parseJson(t.snapshot);
    char folder[] = "/tmp/qm-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    LocalStorePtr store = newLocalStore(folder);
    for (auto _ : state) {
        replaceBudget(*store, budgetFromJson(reply["snapshot"]), reply["etag"].get<std::string>());
        saveStore(*store);
    }
    std::filesystem::remove_all(folder);
}

#if QM_HAVE_PYTHON3_EMBED
// Python's json on the same texts: loads of the reply, dumps of the request.
void syncPythonJson(benchmark::State& state)
{
    const SyncTexts& t = syncTextsAt(int(state.range(0)));
    const bool dumps = state.range(1) == 1;
    if (!Py_IsInitialized())
        Py_Initialize();
    PyObject* globals = PyDict_New();
    PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
    PyObject* done = PyRun_String("import json\n"
                                  "def loads(text):\n"
                                  "    return json.loads(text)\n"
                                  "def dumps(value):\n"
                                  "    return json.dumps(value, separators=(',', ':'))\n",
        Py_file_input, globals, globals);
    PyObject* loads = done ? PyDict_GetItemString(globals, "loads") : nullptr;
    PyObject* dumpsFn = done ? PyDict_GetItemString(globals, "dumps") : nullptr;
    if (!loads || !dumpsFn) {
        PyErr_Print();
        state.SkipWithError("json is not available");
        return;
    }
    const std::string& text = dumps ? t.request : t.snapshot;
    PyObject* str = PyUnicode_FromStringAndSize(text.data(), Py_ssize_t(text.size()));
    PyObject* value = dumps ? PyObject_CallOneArg(loads, str) : nullptr;
    for (auto _ : state) {
        PyObject* out = dumps ? PyObject_CallOneArg(dumpsFn, value) : PyObject_CallOneArg(loads, str);
        benchmark::DoNotOptimize(out);
        Py_XDECREF(out);
    }
    Py_XDECREF(value);
    Py_DECREF(str);
    Py_XDECREF(done);
    Py_DECREF(globals);
}
#endif

void scales(benchmark::internal::Benchmark* b) { b->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond); }

BENCHMARK(balanceOneAccount)->Name("qm/balanceAt_one_account")->Apply(scales);
BENCHMARK(balanceAllAccounts)->Name("qm/balanceAt_all_accounts")->Apply(scales);
BENCHMARK(expandMonth)->Name("qm/expand_month_every_transaction")->Apply(scales);
BENCHMARK(monthLedgerOneAccount)->Name("qm/monthLedger_one_account")->Apply(scales);
BENCHMARK(monthLedgerAllAccounts)->Name("qm/monthLedger_all_accounts")->Apply(scales);
BENCHMARK(dayLedgerToday)->Name("qm/dayLedger")->Apply(scales);
BENCHMARK(monthEndBalancesToday)->Name("qm/monthEndBalances")->Apply(scales);
BENCHMARK(accountSummariesToday)->Name("qm/accountSummaries")->Apply(scales);
BENCHMARK(calendarFrame)->Name("qm/calendar_frame")->Apply(scales);
BENCHMARK(calendarFrameAllAccounts)->Name("qm/calendar_frame_all_accounts")->Apply(scales);
BENCHMARK(calendarFrameAfterEdit)->Name("qm/calendar_frame_after_edit")->Apply(scales);
BENCHMARK(openedBudgetMemory)
    ->Name("qm/opened_budget_memory")
    ->Arg(1)
    ->Arg(16)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(balanceSeriesYear)->Name("qm/balanceSeries_year")->Apply(scales);
BENCHMARK_CAPTURE(searchTwoYears, same, false)->Name("qm/searchOccurrences_two_years")->Apply(scales);
BENCHMARK_CAPTURE(searchTwoYears, stepping, true)->Name("qm/searchOccurrences_two_years_stepping")->Apply(scales);
BENCHMARK_CAPTURE(reportYear, same, false)->Name("qm/reportRows_year")->Apply(scales);
BENCHMARK_CAPTURE(reportYear, stepping, true)->Name("qm/reportRows_year_stepping")->Apply(scales);
BENCHMARK(reportModelRefresh)
    ->Name("qm/refreshReportModel")
    ->ArgsProduct({{1, 16}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);
const int editCasesRegistered = [] {
    const std::pair<const char*, EditKind> kinds[] = {{"one_off", EditKind::oneOff},
        {"occurrence", EditKind::occurrence}, {"anchor", EditKind::anchor}, {"series", EditKind::series},
        {"removal", EditKind::removal}};
    for (const auto& [name, kind] : kinds)
        benchmark::RegisterBenchmark(
            ("qm/calendar_frame_after_" + std::string(name) + "_edit").c_str(), frameAfterEdit, kind)
            ->UseManualTime()
            ->Apply(scales);
    return 0;
}();
BENCHMARK(remapTransactions)->Name("qm/remapDataIds_35000_pairs")->Apply(scales);
BENCHMARK(mergeDeviceBudget)->Name("qm/mergeBudget_5000_transactions")->Apply(scales);
BENCHMARK(syncRequestOps)->Name("qm/sync_request_journalToJson_main")->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(syncRequestText)->Name("qm/sync_request_serialise_worker")->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(syncSnapshotParse)->Name("qm/sync_snapshot_parse_worker")->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(syncSnapshotInstall)
    ->Name("qm/sync_snapshot_install_and_save_main")
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
#if QM_HAVE_PYTHON3_EMBED
BENCHMARK(syncPythonJson)
    ->Name("python_json/sync_snapshot_loads")
    ->Args({1, 0})
    ->Args({16, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(syncPythonJson)
    ->Name("python_json/sync_request_dumps")
    ->Args({1, 1})
    ->Args({16, 1})
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
