#include "export/import_wizard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

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

}  // namespace

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

void loadImportFile(AppState& state, const std::string& path)
{
    ImportWizardState& w = importWizardState(state);
    w.importError.clear();
    FileRead file = readStatementFile(path);
    if (!file.failure.empty()) {
        w.importError = "Could not read the file: " + file.failure;
        return;
    }
    const std::string name = lastComponent(path);
    std::vector<ImportRow> rows;
    try {
        rows = parseOfx(file.bytes);
    } catch (const ValueError& e) {
        w.importError = std::string("Could not read the file: ") + e.what();
        return;
    }
    if (rows.empty()) {
        w.importError = "No transactions were found in " + name + ". Is it an OFX or QFX file?";
        return;
    }
    const Budget& budget = *state.store->budget;
    detectRecurringPatterns(rows);
    markImportDuplicates(rows, budget);
    const std::string account = defaultImportAccount(budget);
    for (ImportRow& row : rows) {
        row.selected = row.status != importDuplicate;
        if (!account.empty() && more(std::as_const(row)).account.empty())
            more(row).account = account;
    }
    w.importCounts = countImportRows(rows);
    w.importRows = std::move(rows);
    w.importFileName = name;
    w.importFilter.clear();
    w.importEditRow = -1;
    w.importStep = importReview;
    requestAppRedraw(state);
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
