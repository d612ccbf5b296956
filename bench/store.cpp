// The store on the heavy budget at 1x and 16x, as the program uses it: the
// files written and read (beside RapidJSON's writer and parser on the same
// data.json), the UI thread's share of one edit, and the memory of a process
// that opens, seeds, draws, edits, saves and closes.
#include "model/store.h"
#include "app/budget_io.h"
#include "app/main_loop.h"
#include "bench_app.h"
#include "core/files.h"
#include "heavy_budget.h"
#include "model/adjustments.h"
#include "model/ledger.h"
#include "model/occurrences.h"
#include "model/projection.h"
#include "model/record_edits.h"
#include "model/store_lookup.h"
#include "model/store_saver.h"
#include "model/store_text_internal.h"
#include "model/transaction_edits.h"
#include "net/service_sync.h"
#include "process_memory.h"

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#if QM_HAVE_SIMDJSON
#include <simdjson.h>
#endif

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <future>
#include <map>
#include <thread>

namespace {

using namespace qm;

// A folder holding the heavy budget's files, made once per scale and removed
// at exit. Only their size stays in memory: the program never holds
// data.json's text.
struct HeavyFolder {
    std::string path;
    size_t dataBytes = 0;  // data.json's size
    ~HeavyFolder()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
};

const HeavyFolder& folderAt(int scale)
{
    static std::map<int, HeavyFolder> folders;
    auto it = folders.find(scale);
    if (it == folders.end()) {
        HeavyFolder& f = folders[scale];
        char name[] = "/tmp/qm-bench-store-XXXXXX";
        f.path = mkdtemp(name) ? name : "";
        LocalStorePtr store = newLocalStore(f.path);
        *store->budget = bench::heavyBudget(scale);
        seedStore(*store);
        saveStore(*store);
        f.dataBytes = size_t(std::filesystem::file_size(std::filesystem::path(f.path) / "data.json"));
        it = folders.find(scale);
    }
    return it->second;
}

// data.json's text, for the cases that parse it, freed when they end.
std::string dataText(const HeavyFolder& folder)
{
    return readFile((std::filesystem::path(folder.path) / "data.json").string());
}

std::map<int, LocalStorePtr>& openedStores()
{
    static std::map<int, LocalStorePtr> stores;
    return stores;
}

const LocalStorePtr& openedPtrAt(int scale)
{
    std::map<int, LocalStorePtr>& stores = openedStores();
    auto it = stores.find(scale);
    if (it == stores.end())
        it = stores.emplace(scale, openStore(folderAt(scale).path)).first;
    return it->second;
}

LocalStore& openedAt(int scale) { return *openedPtrAt(scale); }

// The program holds one budget: a case that opens its own lets go of those
// the other cases share (they open them again when next asked), and hands
// the freed heap back, so that the process holds no more than the program's.
void closeShared()
{
    std::map<int, LocalStorePtr>& stores = openedStores();
    stores.clear();
    malloc_trim(0);
}

void saveWhole(benchmark::State& state)
{
    LocalStore& store = openedAt(int(state.range(0)));
    const size_t bytes = folderAt(int(state.range(0))).dataBytes;
    for (auto _ : state) {
        markDirty(store);
        saveStore(store);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void openWhole(benchmark::State& state)
{
    const HeavyFolder& folder = folderAt(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(openStore(folder.path));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(folder.dataBytes));
}

void writeOurs(benchmark::State& state)
{
    LocalStore& store = openedAt(int(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = storeDataJson(store);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void parseOurs(benchmark::State& state)
{
    const std::string data = dataText(folderAt(int(state.range(0))));
    for (auto _ : state) {
        LocalStorePtr store = newLocalStore("");
        readDataText(*store, data);
        benchmark::DoNotOptimize(store->budget->transactions.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

// The peer holds the same data.json as its own document and writes it out.
void writeRapid(benchmark::State& state)
{
    rapidjson::Document doc;
    {
        const std::string data = dataText(folderAt(int(state.range(0))));
        doc.Parse(data.data(), data.size());
    }
    size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        doc.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void parseRapid(benchmark::State& state)
{
    const std::string data = dataText(folderAt(int(state.range(0))));
    for (auto _ : state) {
        rapidjson::Document doc;
        doc.Parse<rapidjson::kParseFullPrecisionFlag>(data.data(), data.size());
        benchmark::DoNotOptimize(doc.MemberCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

#if QM_HAVE_SIMDJSON
// The other distribution parser, into its own document: the text is given
// the padding it needs once, outside the timing.
void parseSimd(benchmark::State& state)
{
    const simdjson::padded_string text(dataText(folderAt(int(state.range(0)))));
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element doc;
        if (parser.parse(text).get(doc) != simdjson::SUCCESS) {
            state.SkipWithError("simdjson refused the text");
            break;
        }
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
#endif

// The parts of an edit are given in the thread's own time: with the save's
// child on the same core, their wall time also holds the child's turns.
using bench::threadCpuMs;

// What one edit costs the UI thread when the saver writes: the edit, the
// copy handed to the saver, and the next calendar frame.
void editOnUiThread(benchmark::State& state)
{
    const LocalStorePtr& storePtr = openedPtrAt(int(state.range(0)));
    LocalStore& store = *storePtr;
    StoreSaverPtr saver = newStoreSaver();
    const Date today = bench::heavyToday();
    const Transaction original = store.budget->transactions[10];
    int round = 0;
    // Each part's wall time, summed over the iterations.
    double parts[3] = {}, cpuParts[3] = {};
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const double c0 = threadCpuMs();
        const Clock::time_point t0 = Clock::now();
        Transaction t = original;
        t.amount = original.amount + double(++round % 7);
        updateTransaction(store, t.id, t, false, t.start_date, false);
        const Clock::time_point t1 = Clock::now();
        const double c1 = threadCpuMs();
        saveStoreLater(*saver, storePtr);
        const Clock::time_point t2 = Clock::now();
        const double c2 = threadCpuMs();
        const BudgetProjection& p = storeProjection(store);
        benchmark::DoNotOptimize(monthLedger(p, today.year, today.month, 1, today));
        benchmark::DoNotOptimize(accountSummaries(p, today));
        const Clock::time_point t3 = Clock::now();
        const double c3 = threadCpuMs();
        cpuParts[0] += c1 - c0;
        cpuParts[1] += c2 - c1;
        cpuParts[2] += c3 - c2;
        parts[0] += std::chrono::duration<double, std::milli>(t1 - t0).count();
        parts[1] += std::chrono::duration<double, std::milli>(t2 - t1).count();
        parts[2] += std::chrono::duration<double, std::milli>(t3 - t2).count();
        state.PauseTiming();
        waitForSaves(*saver);  // the saver's own time is not the UI thread's
        state.ResumeTiming();
    }
    const char* names[] = {"edit_ms", "handover_ms", "frame_ms"};
    const char* cpuNames[] = {"edit_cpu_ms", "handover_cpu_ms", "frame_cpu_ms"};
    for (int k = 0; k < 3; ++k) {
        state.counters[names[k]] = parts[k] / double(std::max<int64_t>(1, state.iterations()));
        state.counters[cpuNames[k]] = cpuParts[k] / double(std::max<int64_t>(1, state.iterations()));
    }
}

enum class EditKind { oneOff, occurrence, anchor, removal };

// The same for the program's other everyday edits, on records the user
// would pick: a one-off of this month late in the list, an occurrence of a
// series this month, a day's balance, and the removal of a series with its
// adjustments (each time the next one, on a copy of the budget of its own).
void editKindOnUiThread(benchmark::State& state, EditKind kind)
{
    const int scale = int(state.range(0));
    if (kind == EditKind::removal)
        closeShared();
    const LocalStorePtr storePtr = kind == EditKind::removal ? openStore(folderAt(scale).path) : openedPtrAt(scale);
    LocalStore& store = *storePtr;
    const Budget& b = *store.budget;
    StoreSaverPtr saver = newStoreSaver();
    const Date today = bench::heavyToday();
    const Date monthStart = firstOfMonth(today.year, today.month);
    int64_t oneOff = 0, series = 0;
    Date occurrence = today;
    for (size_t i = b.transactions.size(); i-- > 0;) {
        const Transaction& t = b.transactions[i];
        if (!t.is_recurring && !oneOff && dateLessEq(monthStart, t.start_date) && dateLessEq(t.start_date, today))
            oneOff = t.id;
    }
    for (const Transaction& t : b.transactions) {
        if (!t.is_recurring || series)
            continue;
        const std::vector<Occurrence> dates = occurrencesInRange(b, t, monthStart, today);
        if (!dates.empty()) {
            series = t.id;
            occurrence = dates.front().date;
        }
    }
    auto frame = [&] {
        const BudgetProjection& p = storeProjection(store);
        benchmark::DoNotOptimize(monthLedger(p, today.year, today.month, 1, today));
        benchmark::DoNotOptimize(accountSummaries(p, today));
    };
    frame();
    const int32_t madeAt = storeProjection(store).madeAt;
    double parts[3] = {}, cpuParts[3] = {};
    using Clock = std::chrono::steady_clock;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        const double amount = flip ? -123.45 : -67.89;
        const double c0 = threadCpuMs();
        const Clock::time_point t0 = Clock::now();
        if (kind == EditKind::oneOff) {
            Transaction e = b.transactions[*findStoreTransaction(store, oneOff)];
            e.amount = amount;
            updateTransaction(store, oneOff, e, false, e.start_date, false);
        } else if (kind == EditKind::occurrence) {
            setOccurrenceAmount(store, series, occurrence, amount, true, 0);
        } else if (kind == EditKind::anchor) {
            setAnchor(store, subDays(today, 10), -amount * 100, 1);
        } else {
            // The first series left: every record after it moves up a place.
            deleteTransaction(store, b.transactions.front().id);
        }
        const Clock::time_point t1 = Clock::now();
        const double c1 = threadCpuMs();
        saveStoreLater(*saver, storePtr);
        const Clock::time_point t2 = Clock::now();
        const double c2 = threadCpuMs();
        frame();
        const Clock::time_point t3 = Clock::now();
        const double c3 = threadCpuMs();
        cpuParts[0] += c1 - c0;
        cpuParts[1] += c2 - c1;
        cpuParts[2] += c3 - c2;
        parts[0] += std::chrono::duration<double, std::milli>(t1 - t0).count();
        parts[1] += std::chrono::duration<double, std::milli>(t2 - t1).count();
        parts[2] += std::chrono::duration<double, std::milli>(t3 - t2).count();
        state.PauseTiming();
        waitForSaves(*saver);
        state.ResumeTiming();
    }
    const char* names[] = {"edit_ms", "handover_ms", "frame_ms"};
    const char* cpuNames[] = {"edit_cpu_ms", "handover_cpu_ms", "frame_cpu_ms"};
    for (int k = 0; k < 3; ++k) {
        state.counters[names[k]] = parts[k] / double(std::max<int64_t>(1, state.iterations()));
        state.counters[cpuNames[k]] = cpuParts[k] / double(std::max<int64_t>(1, state.iterations()));
    }
    state.counters["made_anew"] = storeProjection(store).madeAt != madeAt;
}

// The UI thread's share of handing a save over: freezing the store for the
// thread that writes it.
void saveHandover(benchmark::State& state)
{
    const LocalStorePtr& store = openedPtrAt(int(state.range(0)));
    StoreSaverPtr saver = newStoreSaver();
    for (auto _ : state) {
        saveStoreLater(*saver, store);
        state.PauseTiming();
        waitForSaves(*saver);
        state.ResumeTiming();
    }
}

// The calendar frames after an edit, each timed on the UI thread's own
// clock, while the save of that edit is under way ("qm") and with no save
// ("nosave", the control). A save that cost the drawing thread anything
// (pages copied for a process that shares them, a lock held too long)
// shows as the ratio of the two.
void frameDuringSave(benchmark::State& state, bool saving)
{
    const LocalStorePtr& storePtr = openedPtrAt(int(state.range(0)));
    LocalStore& store = *storePtr;
    StoreSaverPtr saver = newStoreSaver();
    const Date today = bench::heavyToday();
    const Transaction original = store.budget->transactions[10];
    auto frame = [&] {
        const BudgetProjection& p = storeProjection(store);
        benchmark::DoNotOptimize(monthLedger(p, today.year, today.month, 1, today));
        benchmark::DoNotOptimize(monthEndBalances(p, 1, today));
        benchmark::DoNotOptimize(accountSummaries(p, today));
    };
    frame();
    constexpr int kFrames = 8;
    int round = 0, underWay = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Transaction t = original;
        t.amount = original.amount + double(++round % 7);
        updateTransaction(store, t.id, t, false, t.start_date, false);
        SaveTicket ticket = 0;
        if (saving)
            ticket = saveStoreLater(*saver, storePtr);
        state.ResumeTiming();
        for (int k = 0; k < kFrames; ++k)
            frame();
        state.PauseTiming();
        pollSaver(*saver);
        underWay += saving && saveState(*saver, ticket) == SaveState::pending;
        waitForSaves(*saver);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
    // The share of the rounds whose frames all fell inside the save.
    state.counters["under_way"] = double(underWay) / double(std::max<int64_t>(1, state.iterations()));
}

// A sync's start on the UI thread, once an edit waits to be sent: the ops
// taken, the mark set and handed to the saver. The request itself leaves
// later, when the save holding the mark has landed.
void syncStart(benchmark::State& state)
{
    const int scale = int(state.range(0));
    closeShared();
    bench::BenchApp app("qm-bench-sync", [](PageTable&) {});
    AppState& s = *app.state;
    const std::string folder = app.root + "/budget";
    std::filesystem::copy(folderAt(scale).path, folder);
    s.store = openStore(folder);
    s.store->budget->user.is_verified = true;
    s.budgetId = "u1";
    s.session.token = "token";
    s.storeSaver = newStoreSaver();
    initSyncSchedule(s);
    SyncSchedule& schedule = *syncSchedule(s);
    LocalStore& store = *s.store;
    const Transaction original = store.budget->transactions[10];
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        waitForSaves(*s.storeSaver);
        schedule.held.reset();
        schedule.inFlight = false;
        clearSentMark(store);
        Transaction t = original;
        t.amount = original.amount + double(++round % 7);
        updateTransaction(store, t.id, t, false, t.start_date, false);
        state.ResumeTiming();
        requestSyncNow(s);
        runSyncSchedule(s);
    }
    waitForSaves(*s.storeSaver);
    if (!schedule.held)
        state.SkipWithError("the request was not held for its mark");
    schedule.held.reset();
    s.store.reset();
}

// A fresh process as the program runs it: open and seed, draw a year of
// months, ten edits each saved off the thread and drawn, then the closing
// save. The memory it gained, per byte of heap the budget holds, after the
// start, after the edits and after the close.
void programMemory(benchmark::State& state)
{
    const HeavyFolder& folder = folderAt(int(state.range(0)));
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
            malloc_trim(0);
            const size_t rss0 = bench::residentBytes(), heap0 = bench::heapInUse();
            LocalStorePtr store = openStore(folder.path);
            seedStore(*store);
            const double budget = double(bench::heapInUse() - heap0);
            const Date today = bench::heavyToday();
            auto draw = [&] {
                const BudgetProjection& p = storeProjection(*store);
                for (int m = 0; m < 12; ++m) {
                    const Date month = addMonths(today, -m);
                    benchmark::DoNotOptimize(monthLedger(p, month.year, month.month, 0, today));
                }
                benchmark::DoNotOptimize(accountSummaries(p, today));
            };
            draw();
            const double start = double(bench::residentBytes() - rss0);
            StoreSaverPtr saver = newStoreSaver();
            for (int i = 0; i < 10; ++i) {
                Transaction t = store->budget->transactions[size_t(i) * 100];
                t.amount += 1;
                updateTransaction(*store, t.id, t, false, t.start_date, false);
                saveStoreLater(*saver, store);
                draw();
            }
            waitForSaves(*saver);
            const double edited = double(bench::residentBytes() - rss0);
            markDirty(*store);
            saveStoreLater(*saver, store);
            saver.reset();  // the close waits for the last save
            const double closed = double(bench::residentBytes() - rss0);
            const double out[4] = {budget, start, edited, closed};
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
    state.counters["budget_MB"] = figures[0] / 1e6;
    const char* names[] = {"resident_per_budget_start", "resident_per_budget_edit", "resident_per_budget_close"};
    for (int k = 0; k < 3; ++k)
        state.counters[names[k]] = figures[0] > 0 ? figures[k + 1] / figures[0] : 0;
}

// A save in a process of its own, whose memory is fresh, from its start
// until it is reaped (the files are in place by then); child_cpu_ms is its
// own CPU time. The saver's thread meets memory as warm as the program's.
void saveInFreshProcess(benchmark::State& state)
{
    LocalStore& store = openedAt(int(state.range(0)));
    const size_t bytes = folderAt(int(state.range(0))).dataBytes;
    double childCpu = 0;
    for (auto _ : state) {
        markDirty(store);
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            try {
                saveStore(store);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the save failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        childCpu += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    state.counters["child_cpu_ms"] = childCpu / double(std::max<int64_t>(1, state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// An open in a process of its own, started afresh from this program's file
// (a forked child would start with this process's heap and its pages),
// which reads the budget as the program does at its start: its heap set
// for frames, then readBudget (open and seed) on a thread of its own while
// the splash shows. Before each start the machine rests QM_BENCH_REST_S
// seconds (20 by default): a host that takes back free memory takes it
// meanwhile, so that each fresh page costs its first touch as a user's
// first open of the day does. MB_per_s is data.json's size over the read's
// time; faults_per_page the minor faults over the pages the process gained.
// `copying` is the control: the file's text read into memory of its own,
// then parsed from there.
// The child runs on the CPUs this process may use: on one alone the parser
// readies the lists' pages itself, on more a thread beside it does (run it
// on two to see both).
constexpr const char* kOpenChild = "--open-in-this-process";

// The child's side: prints the read's seconds, minor faults and pages gained.
int openInThisProcess(const std::string& folder, bool copying)
{
    keepHeapForFrames();
    rusage before{}, after{};
    const size_t rss0 = bench::residentBytes();
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    BudgetRead read = std::async(std::launch::async, [&] {
        if (!copying)
            return readBudget(folder);
        BudgetRead copied;
        copied.store = newLocalStore(folder);
        readDataText(*copied.store, readFile(folder + "/data.json"));
        malloc_trim(0);
        seedStore(*copied.store);
        return copied;
    }).get();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    if (!read.store)
        return 1;
    std::printf("%.9g %ld %.9g\n", seconds, after.ru_minflt - before.ru_minflt,
        double(bench::residentBytes() - rss0) / double(sysconf(_SC_PAGESIZE)));
    std::fflush(stdout);
    _exit(0);  // the budget is not taken apart: the figures are out
}

void openInFreshProcess(benchmark::State& state, bool copying)
{
    const HeavyFolder& folder = folderAt(int(state.range(0)));
    const char* restText = std::getenv("QM_BENCH_REST_S");
    const double rest = restText && *restText ? std::atof(restText) : 20.0;
    double figures[3] = {};  // seconds, faults, pages gained
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::duration<double>(rest));
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        std::string command = "'" + self + "' " + kOpenChild + " '" + folder.path + "' " + (copying ? "1" : "0");
        FILE* child = popen(command.c_str(), "r");
        const bool given = child && std::fscanf(child, "%lf %lf %lf", &figures[0], &figures[1], &figures[2]) == 3;
        if ((child ? pclose(child) : -1) != 0 || !given) {
            state.SkipWithError("the child gave no figures");
            break;
        }
        state.SetIterationTime(figures[0]);
    }
    state.counters["MB_per_s"] = figures[0] > 0 ? double(folder.dataBytes) / 1e6 / figures[0] : 0;
    state.counters["faults_per_page"] = figures[2] > 0 ? figures[1] / figures[2] : 0;
    state.counters["faults"] = figures[1];
}

void scales(benchmark::internal::Benchmark* b) { b->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond); }

BENCHMARK(saveWhole)->Name("qm/saveStore")->Apply(scales);
BENCHMARK(openWhole)->Name("qm/openStore")->Apply(scales);
BENCHMARK(writeOurs)->Name("qm/store_write")->Apply(scales);
BENCHMARK(writeRapid)->Name("rapidjson/store_write")->Apply(scales);
BENCHMARK(parseOurs)->Name("qm/store_parse")->Apply(scales);
BENCHMARK(parseRapid)->Name("rapidjson/store_parse")->Apply(scales);
#if QM_HAVE_SIMDJSON
BENCHMARK(parseSimd)->Name("simdjson/store_parse")->Apply(scales);
#endif
// Each of these waits for a whole save per iteration, so a fixed count keeps
// them short: their own share is far smaller than the save they wait for.
BENCHMARK(saveHandover)->Name("qm/save_handover")->Apply(scales)->Iterations(64);
BENCHMARK(editOnUiThread)->Name("qm/edit_on_ui_thread")->Apply(scales);
const int editKindsRegistered = [] {
    const std::pair<const char*, EditKind> kinds[] = {{"one_off", EditKind::oneOff},
        {"occurrence", EditKind::occurrence}, {"anchor", EditKind::anchor}, {"removal", EditKind::removal}};
    for (const auto& [name, kind] : kinds)
        benchmark::RegisterBenchmark(("qm/edit_on_ui_thread_" + std::string(name)).c_str(), editKindOnUiThread, kind)
            ->Apply(scales)
            ->Iterations(24);
    return 0;
}();
BENCHMARK_CAPTURE(frameDuringSave, saving, true)->Name("qm/frame_during_save")->Apply(scales)->Iterations(24);
BENCHMARK_CAPTURE(frameDuringSave, control, false)->Name("nosave/frame_during_save")->Apply(scales)->Iterations(24);
BENCHMARK(syncStart)->Name("qm/sync_start")->Apply(scales)->Iterations(24);
BENCHMARK(programMemory)->Name("qm/program_memory")->Apply(scales)->Iterations(1);
BENCHMARK(saveInFreshProcess)->Name("qm/save_in_fresh_process")->Apply(scales)->UseManualTime()->Iterations(8);
BENCHMARK_CAPTURE(openInFreshProcess, read, false)
    ->Name("qm/open_in_fresh_process")
    ->Apply(scales)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK_CAPTURE(openInFreshProcess, copied, true)
    ->Name("control/open_copying_in_fresh_process")
    ->Apply(scales)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string_view(argv[1]) == kOpenChild)
        return openInThisProcess(argv[2], std::string_view(argv[3]) == "1");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
