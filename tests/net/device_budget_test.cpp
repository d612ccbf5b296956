// The budget kept on this device once an account is open: the prompt's
// counts, merging it (and the sync that follows) and removing it, also when
// the folders cannot be written.
#include "net/sync_helpers.h"

#include "app/page_table.h"
#include "core/files.h"
#include "model/record_edits.h"
#include "model/store.h"
#include "model/transaction_edits.h"
#include "net/device_budget.h"

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {

namespace {

namespace fs = std::filesystem;

using DeviceBudget = SyncTest;

struct Planned {
    const char* description;
    bool demo;
};

// Writes a device budget as the program would have left it.
void writeDeviceBudget(const std::string& folder, std::initializer_list<Planned> transactions, bool anchor)
{
    LocalStorePtr store = openStore(folder);
    seedStore(*store);
    for (const Planned& p : transactions) {
        Transaction t;
        t.description = p.description;
        t.amount = -5;
        t.account = store->budget->accounts.front().name;
        t.start_date = Date{2025, 3, 12};
        EditResult added = addTransaction(*store, t);
        ASSERT_TRUE(added.ok);
        // Demo records come with the program, never through an edit.
        store->budget->transactions.back().is_demo = p.demo;
    }
    if (anchor)
        setAnchor(*store, Date{2025, 3, 1}, 250, 0);
    saveStore(*store);
}

std::string lastToast(const AppState& state) { return state.toasts.empty() ? "" : state.toasts.back().text; }

// Runs `step` in a child process as the user nobody (root writes anywhere)
// and gives what it wrote to the pipe.
template <typename Step>
std::string asNobody(Step step)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        std::string out = step();
        (void)!write(fds[1], out.data(), out.size());
        _exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    ::close(fds[0]);
    waitpid(child, nullptr, 0);
    return out;
}

// Lets nobody reach and write the whole configuration folder.
void openToEveryone(const std::string& top)
{
    for (fs::path p = top; !p.empty() && p != p.root_path(); p = p.parent_path())
        if (p.string().rfind("/tmp/", 0) == 0)
            chmod(p.c_str(), 0777);
    for (const auto& entry : fs::recursive_directory_iterator(top))
        chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
}

}  // namespace

TEST_F(DeviceBudget, TheMergeCountsTheUsersOwnRecordsAndSyncsNextFrame)
{
    struct Case {
        std::initializer_list<Planned> transactions;
        bool anchor;
        int32_t counted;
        const char* toast;
    };
    const Case cases[] = {
        {{{"Rent", false}, {"Sample salary", true}}, false, 1, "Merged 1 transaction into your account"},
        {{{"Sample salary", true}}, true, 0, "Merged 0 transactions into your account"},
        {{{"Rent", false}, {"Gym", false}}, false, 2, "Merged 2 transactions into your account"},
    };
    begin();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toast);
        std::string local = h.budgetDir("local");
        fs::remove_all(local);
        writeDeviceBudget(local, c.transactions, c.anchor);
        h->merge.window->open = false;
        checkDeviceBudget(*h);
        EXPECT_TRUE(h->merge.window->open);
        EXPECT_EQ(h->merge.transactions, c.counted);
        EXPECT_EQ(h->merge.adjustments, c.anchor ? 1 : 0);

        size_t before = h->store->budget->transactions.size();
        ASSERT_TRUE(pageTable().mergeDeviceBudget(*h));
        EXPECT_EQ(lastToast(*h), c.toast);
        EXPECT_EQ(h->store->budget->transactions.size(), before + size_t(c.counted));
        EXPECT_FALSE(fs::exists(local));
        h.frame();
        EXPECT_TRUE(schedule().inFlight);
        ASSERT_TRUE(settled());
        expectInStep();
    }
}

TEST_F(DeviceBudget, AMergeThatCannotBeSavedKeepsBothBudgetsAsTheyWere)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become nobody";
    begin();
    std::string local = h.budgetDir("local"), account = h.budgetDir(h->budgetId);
    fs::remove_all(local);
    writeDeviceBudget(local, {{"Rent", false}}, false);
    openToEveryone(h.configDir());
    chmod(account.c_str(), 0555);
    std::string localData = readFile(local + "/data.json");
    std::string accountData = readFile(account + "/data.json");
    size_t records = h->store->budget->transactions.size(), ops = h->store->journal.size();

    std::string out = asNobody([&] {
        bool merged = mergeDeviceBudget(*h);
        // what the open budget holds after the failure, then the toast
        return std::string(merged ? "merged" : "kept") + "|" + std::to_string(h->store->budget->transactions.size())
            + "|" + std::to_string(h->store->journal.size()) + "|" + lastToast(*h);
    });
    EXPECT_EQ(out.rfind("kept|" + std::to_string(records) + "|" + std::to_string(ops)
                      + "|Could not merge the budget kept on this device: ",
                  0),
        0u)
        << out;
    EXPECT_EQ(readFile(local + "/data.json"), localData);
    EXPECT_EQ(readFile(account + "/data.json"), accountData);
    chmod(account.c_str(), 0777);
}

TEST_F(DeviceBudget, RemovalSaysWhetherTheFolderIsGone)
{
    begin();
    std::string local = h.budgetDir("local");
    writeDeviceBudget(local, {{"Rent", false}}, false);
    removeDeviceBudget(*h);
    EXPECT_EQ(lastToast(*h), "The budget kept on this device was removed");
    EXPECT_FALSE(fs::exists(local));

    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become nobody";
    writeDeviceBudget(local, {{"Rent", false}}, false);
    openToEveryone(h.configDir());
    std::string budgets = fs::path(local).parent_path();
    chmod(budgets.c_str(), 0555);
    std::string out = asNobody([&] {
        pageTable().removeDeviceBudget(*h);
        return lastToast(*h);
    });
    chmod(budgets.c_str(), 0777);
    EXPECT_EQ(out.rfind("Could not remove the budget kept on this device: ", 0), 0u) << out;
    EXPECT_TRUE(fs::exists(local));
}

}  // namespace qm::test
