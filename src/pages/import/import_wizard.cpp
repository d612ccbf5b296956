#include "pages/import/import_wizard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "app/navigation.h"
#include "core/ui_wake.h"
#include "model/ledger.h"

namespace qm {

namespace {

struct FileRead {
    std::string bytes;
    std::string failure;  // empty when read
};

// Opening without blocking lets a FIFO's open return at once; it is then
// refused as not a regular file, like a folder or a device.
FileRead readStatementFile(const std::string& path)
{
    FileRead out;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        out.failure = "cannot open: " + path;
        return out;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        out.failure = "not a regular file";
        return out;
    }
    if (st.st_size > kMaxImportFileBytes) {
        ::close(fd);
        out.failure = "larger than 64 MiB";
        return out;
    }
    out.bytes.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.failure = std::string("read failed: ") + std::strerror(errno);
            break;
        }
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (int64_t(out.bytes.size()) + n > kMaxImportFileBytes) {
            out.failure = "larger than 64 MiB";
            break;
        }
        out.bytes.append(buf, size_t(n));
    }
    ::close(fd);
    if (!out.failure.empty())
        out.bytes.clear();
    return out;
}

std::string lastComponent(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A frame's share of copying the budget for matching: the copy of a large
// budget is spread over several frames rather than holding one up.
constexpr auto kCopyPerFrame = std::chrono::milliseconds(4);
constexpr size_t kCopyStep = 64;

}  // namespace

struct ImportLoad {
    std::string path;
    std::string name;
    std::string defaultAccount;
    std::atomic<bool> cancelled{false};
    // Set by the thread last: the results below are then the UI thread's.
    std::atomic<bool> finished{false};
    std::thread thread;

    // The budget's lengths when the load began: the thread sets aside room
    // for the copy, since asking the allocator for tens of megabytes can
    // hold up a frame on its own.
    size_t transactionCount = 0;
    size_t adjustmentCount = 0;
    std::atomic<bool> roomReady{false};

    // The UI thread's only, from roomReady until handed over.
    ImportMatchTargets targets;
    size_t nextRecord = 0;
    const Budget* copiedFrom = nullptr;
    int32_t copiedAtChange = 0;
    bool handed = false;
    int32_t polledFrame = 0;

    std::mutex lock;
    std::condition_variable wake;
    bool targetsReady = false;  // under lock

    std::vector<ImportRow> rows;
    ImportCounts counts;
    std::string error;

    void cancel()
    {
        std::lock_guard<std::mutex> guard(lock);
        cancelled = true;
        wake.notify_all();
    }
};

namespace {

// Everything a load does away from the UI thread. The file's text and a
// dropped load's rows are freed here too.
void readAndMatch(ImportLoad& load)
{
    load.targets.transactions.reserve(load.transactionCount);
    load.targets.adjustments.reserve(load.adjustmentCount);
    load.roomReady.store(true, std::memory_order_release);
    wakeUiThread();
    {
        FileRead file = readStatementFile(load.path);
        if (!file.failure.empty()) {
            load.error = "Could not read the file: " + file.failure;
            return;
        }
        try {
            load.rows = parseOfx(file.bytes);
        } catch (const ValueError& e) {
            load.error = std::string("Could not read the file: ") + e.what();
            return;
        }
    }
    if (load.rows.empty()) {
        load.error = "No transactions were found in " + load.name + ". Is it an OFX or QFX file?";
        return;
    }
    detectRecurringPatterns(load.rows);
    {
        std::unique_lock<std::mutex> guard(load.lock);
        load.wake.wait(guard, [&] { return load.targetsReady || load.cancelled; });
    }
    if (load.cancelled)
        return;
    markImportDuplicates(load.rows, load.targets, &load.cancelled);
    load.targets = ImportMatchTargets();
    for (ImportRow& row : load.rows) {
        row.selected = row.status != importDuplicate;
        if (!load.defaultAccount.empty() && more(std::as_const(row)).account.empty())
            more(row).account = load.defaultAccount;
    }
    load.counts = countImportRows(load.rows);
}

// A thread must not end the program: whatever it raises (memory running
// out, say) becomes the load's failure.
void runLoad(ImportLoad& load)
{
    try {
        readAndMatch(load);
    } catch (const std::exception& e) {
        load.rows.clear();
        load.error = std::string("Could not read the file: ") + e.what();
    }
    if (load.cancelled)
        std::vector<ImportRow>().swap(load.rows);
    load.finished.store(true, std::memory_order_release);
    wakeUiThread();
}

// Copies a frame's share of the budget; hands the copy to the thread once
// it is whole. A budget that changed while it was copied is copied anew.
void copyForMatching(AppState& state, ImportLoad& load)
{
    const LocalStore& store = *state.store;
    const Budget& budget = *store.budget;
    if (!load.roomReady.load(std::memory_order_acquire)) {
        requestAppRedraw(state);
        return;
    }
    if (load.copiedFrom != &budget || load.copiedAtChange != store.change_count) {
        // Emptied, not replaced, so that the room set aside stays.
        load.targets.transactions.clear();
        load.targets.series.clear();
        load.targets.adjustments.clear();
        load.targets.seriesIds.clear();
        load.nextRecord = 0;
        load.copiedFrom = &budget;
        load.copiedAtChange = store.change_count;
    }
    const auto until = std::chrono::steady_clock::now() + kCopyPerFrame;
    bool whole = false;
    do
        whole = copyImportMatchTargets(load.targets, budget, load.nextRecord, kCopyStep);
    while (!whole && std::chrono::steady_clock::now() < until);
    if (!whole) {
        requestAppRedraw(state);
        return;
    }
    std::lock_guard<std::mutex> guard(load.lock);
    load.targetsReady = true;
    load.handed = true;
    load.wake.notify_all();
}

void joinFinished(std::vector<std::shared_ptr<ImportLoad>>& loads)
{
    std::erase_if(loads, [](const std::shared_ptr<ImportLoad>& load) {
        if (!load->finished.load(std::memory_order_acquire))
            return false;
        load->thread.join();
        return true;
    });
}

int32_t frameOf(const AppState& state) { return state.ui ? state.ui->frame : 0; }

}  // namespace

ImportWizardState::~ImportWizardState()
{
    dropImportLoad(*this);
    for (const std::shared_ptr<ImportLoad>& load : importDropped)
        if (load->thread.joinable())
            load->thread.join();
}

ImportWizardState& importWizardState(AppState& state)
{
    if (!state.importWizard)
        state.importWizard = std::make_shared<ImportWizardState>();
    return *state.importWizard;
}

std::string defaultImportAccount(const Budget& budget)
{
    if (budget.user.default_account_id != 0)
        if (std::optional<size_t> at = findAccount(budget, budget.user.default_account_id))
            return budget.accounts[*at].name;
    std::vector<Account> ordered = accountsInOrder(budget);
    return ordered.empty() ? std::string() : ordered.front().name;
}

void dropImportLoad(ImportWizardState& w)
{
    if (!w.importLoad)
        return;
    w.importLoad->cancel();
    w.importDropped.push_back(std::move(w.importLoad));
    w.importLoad.reset();
}

FileDialogPurpose statementImport()
{
    return {"Import an OFX / QFX file", false, [](AppState& state, const std::string& path) {
                loadImportFile(state, path);
                showPage(state, pageImport);
            }};
}

void loadImportFile(AppState& state, const std::string& path)
{
    ImportWizardState& w = importWizardState(state);
    w.importError.clear();
    dropImportLoad(w);
    auto load = std::make_shared<ImportLoad>();
    load->path = path;
    load->name = lastComponent(path);
    load->defaultAccount = defaultImportAccount(*state.store->budget);
    load->transactionCount = state.store->budget->transactions.size();
    load->adjustmentCount = state.store->budget->transaction_adjustments.size();
    load->polledFrame = frameOf(state);
    load->thread = std::thread(runLoad, std::ref(*load));
    w.importLoad = std::move(load);
    requestAppRedraw(state);
}

std::string importLoadingName(const ImportWizardState& w) { return w.importLoad ? w.importLoad->name : std::string(); }

void pollImportLoad(AppState& state)
{
    ImportWizardState& w = importWizardState(state);
    joinFinished(w.importDropped);
    if (!w.importLoad)
        return;
    ImportLoad& load = *w.importLoad;
    const int32_t frame = frameOf(state);
    if (load.polledFrame != frame && load.polledFrame != frame - 1) {
        dropImportLoad(w);
        return;
    }
    load.polledFrame = frame;
    // A file that failed needs no copy.
    if (!load.handed && !load.finished.load(std::memory_order_acquire))
        copyForMatching(state, load);
    if (!load.finished.load(std::memory_order_acquire))
        return;
    // The frame that finds the load over only ends its thread and asks for
    // the next frame at once, which shows the result. Found after a wait
    // between idle frames, it would otherwise carry the wait and the first
    // drawing of the review together.
    if (load.thread.joinable()) {
        load.thread.join();
        requestAppRedraw(state);
        return;
    }
    if (!load.error.empty()) {
        w.importError = std::move(load.error);
    } else {
        w.importCounts = load.counts;
        w.importRows = std::move(load.rows);
        w.importFileName = load.name;
        w.importFilter.clear();
        w.importEditRow = -1;
        w.importStep = importReview;
    }
    w.importLoad.reset();
    requestAppRedraw(state);
}

void finishImportLoad(AppState& state)
{
    ImportWizardState& w = importWizardState(state);
    while (w.importLoad) {
        pollImportLoad(state);
        if (w.importLoad)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool importRowVisible(const ImportRow& row, std::string_view filter)
{
    if (filter.empty())
        return true;
    if (filter == "recurring")
        return row.isRecurring;
    return importStatusText(row.status) == filter;
}

void restartImportWizard(AppState& state)
{
    ImportWizardState& w = importWizardState(state);
    dropImportLoad(w);
    w.importStep = importChooseFile;
    w.importRows.clear();
}

std::string restartFinishedImport(AppState& state)
{
    ImportWizardState& w = importWizardState(state);
    w.importError.clear();
    if (w.importStep == importComplete)
        restartImportWizard(state);
    return w.importStep == importReview ? w.importFileName : std::string();
}

}  // namespace qm
