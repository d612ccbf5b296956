#include "pages/import/import_commit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/page_draw_harness.h"
#include "core/files.h"
#include "model/record_edits.h"
#include "pages/import/import_wizard.h"

namespace qm {
namespace {

struct R {
    const char* date;
    double amount;
    const char* description;
    bool selected = true;
    int32_t group = -1;
    bool keepRecurring = false;
    const char* category = "";
};

std::vector<ImportRow> rowsOf(const std::vector<R>& list)
{
    std::vector<ImportRow> rows;
    for (const R& r : list) {
        ImportRow row;
        row.date = parseIso(r.date);
        row.amount = r.amount;
        row.description = r.description;
        row.selected = r.selected;
        row.recurringGroup = r.group;
        row.isRecurring = r.group >= 0;
        if (r.group >= 0) {
            ImportRowMore& m = more(row);
            m.suggestedPeriod = "nth_1_months";
            m.suggestedLabel = "Monthly";
            m.makeRecurring = r.keepRecurring;
        }
        more(row).category = r.category;
        more(row).account = "Main";
        rows.push_back(std::move(row));
    }
    return rows;
}

struct Added {
    const char* date;
    bool recurring;
    const char* category;
};

TEST(ImportCommit, PlansAndSummaries)
{
    struct Case {
        const char* name;
        std::vector<R> rows;
        std::vector<Added> added;
        const char* summary;
    };
    const Case cases[] = {
        {"series, single and duplicate",
            {{"2026-01-05", -9.99, "Stream", true, 0, true}, {"2026-02-05", -9.99, "Stream", true, 0, true},
                {"2026-03-05", -9.99, "Stream", true, 0, true}, {"2026-02-10", -40, "Garage"},
                {"2026-02-11", -80, "Electric", false}},
            {{"2026-01-05", true, ""}, {"2026-02-10", false, ""}},
            "2 transactions imported \u00b7 2 occurrences merged into recurring transactions \u00b7 1 skipped"},
        {"one row", {{"2026-01-05", -3, "Tea"}}, {{"2026-01-05", false, ""}}, "1 transaction imported"},
        {"first line unselected",
            {{"2026-01-05", -9.99, "Stream", false, 0, true}, {"2026-02-05", -9.99, "Stream", true, 0, true},
                {"2026-03-05", -9.99, "Stream", true, 0, true}},
            {{"2026-02-05", true, ""}},
            "1 transaction imported \u00b7 1 occurrence merged into recurring transactions \u00b7 1 skipped"},
        {"recurring cleared everywhere",
            {{"2026-01-05", -9.99, "Stream", true, 0, false}, {"2026-02-05", -9.99, "Stream", true, 0, false}},
            {{"2026-01-05", false, ""}, {"2026-02-05", false, ""}}, "2 transactions imported"},
        {"only the second keeps it",
            {{"2026-01-05", -9.99, "Stream", true, 0, false}, {"2026-02-05", -9.99, "Stream", true, 0, true},
                {"2026-03-05", -9.99, "Stream", true, 0, false}},
            {{"2026-01-05", false, ""}, {"2026-02-05", true, ""}, {"2026-03-05", false, ""}},
            "3 transactions imported"},
        {"nothing selected", {{"2026-01-05", -3, "Tea", false}, {"2026-01-06", -4, "Cake", false}}, {},
            "0 transactions imported \u00b7 2 skipped"},
        {"first line's choices",
            {{"2026-01-05", -9.99, "Stream", true, 0, true, "Fun"},
                {"2026-02-05", -9.99, "Stream", true, 0, true, "Bills"}},
            {{"2026-01-05", true, "Fun"}},
            "1 transaction imported \u00b7 1 occurrence merged into recurring transactions"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::PageDrawHarness h(800, 600);
        AppState& s = h.start();
        ASSERT_TRUE(addAccount(*s.store, "Main", "checking").ok);
        ImportWizardState& w = importWizardState(s);
        w.importRows = rowsOf(c.rows);
        w.importStep = importReview;
        const size_t before = s.store->budget->transactions.size(), journalBefore = s.store->journal.size();
        commitImport(s);
        EXPECT_EQ(w.importSummary, c.summary);
        EXPECT_EQ(w.importStep, importComplete);
        const TransactionList& all = s.store->budget->transactions;
        ASSERT_EQ(all.size() - before, c.added.size());
        for (size_t i = 0; i < c.added.size(); ++i) {
            const Transaction& t = all[before + i];
            EXPECT_EQ(formatIso(t.start_date), c.added[i].date);
            EXPECT_EQ(t.is_recurring, c.added[i].recurring);
            EXPECT_EQ(t.recurring_period, c.added[i].recurring ? "nth_1_months" : "");
            EXPECT_EQ(t.category, c.added[i].category);
            EXPECT_EQ(t.account, "Main");
            EXPECT_NE(t.id, 0);
        }
        EXPECT_EQ(s.store->journal.size() - journalBefore, c.added.size());
    }
}

TEST(ImportCommit, RejectedRowsAreLeftOutAndAFailedSaveStillFinishes)
{
    testing::PageDrawHarness h(800, 600);
    AppState& s = h.start();
    // Saving below a regular file fails whoever runs the test.
    const std::string blocker = h.app.dir / "blocker";
    writeFileAtomic(blocker, "x");
    s.store->folder = blocker + "/budget";
    ImportWizardState& w = importWizardState(s);
    w.importRows = rowsOf({{"2026-01-05", -3, "Tea"}, {"2026-01-06", -4, ""}});
    commitImport(s);
    EXPECT_EQ(w.importSummary, "1 transaction imported");
    EXPECT_EQ(w.importStep, importComplete);
    ASSERT_FALSE(s.store->budget->transactions.empty());
    EXPECT_EQ(s.store->budget->transactions.back().description, "Tea");
    ASSERT_FALSE(s.toasts.empty());
    EXPECT_EQ(s.toasts.back().kind, toastError);
    EXPECT_EQ(s.toasts.back().text.rfind("Could not save the budget: ", 0), 0u) << s.toasts.back().text;
}

// The same as someone who may not write the budget's folder; only root can
// become someone else here.
TEST(ImportCommit, AReadOnlyBudgetFolderAsNobody)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as nobody";
    testing::PageDrawHarness h(800, 600);
    AppState& s = h.start();
    const std::string folder = h.app.dir / "readonly";
    ASSERT_EQ(::mkdir(folder.c_str(), 0555), 0);
    ::chmod(h.app.dir.path().c_str(), 0755);
    s.store->folder = folder;
    ImportWizardState& w = importWizardState(s);
    w.importRows = rowsOf({{"2026-01-05", -3, "Tea"}, {"2026-01-06", -4, "Cake"}});
    const size_t before = s.store->budget->transactions.size();
    pid_t pid = fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(2);
        commitImport(s);
        bool toast = !s.toasts.empty() && s.toasts.back().kind == toastError
            && s.toasts.back().text.rfind("Could not save the budget: ", 0) == 0;
        bool kept = s.store->budget->transactions.size() == before + 2;
        _exit(toast && kept && w.importStep == importComplete && w.importSummary == "2 transactions imported" ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qm
