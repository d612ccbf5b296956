#include "pages/import/import_wizard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "app/main_loop_internal.h"
#include "app/page_draw_harness.h"
#include "app/page_table.h"
#include "app/stand_in_pages.h"
#include "core/files.h"
#include "model/export_fixtures.h"
#include "model/record_edits.h"
#include "model/reports.h"
#include "model/transaction_edits.h"
#include "pages/import/import_commit.h"
#include "pages/import/import_page.h"
#include "platform/render/renderer.h"

namespace qm {
namespace {

using testing::oneOff;
using testing::PageDrawHarness;
using testing::sameColor;

struct Line {
    const char* date;  // YYYYMMDD
    const char* amount;
    const char* name;
};

std::string statement(const std::vector<Line>& lines)
{
    std::string s =
        "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>\n";
    int n = 0;
    for (const Line& l : lines)
        s += std::string("<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>") + l.date + "<TRNAMT>" + l.amount + "<FITID>F"
            + std::to_string(++n) + "<NAME>" + l.name + "</STMTTRN>\n";
    return s + "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";
}

// Three lines, the second of which the budget below already holds.
const std::vector<Line> kThree = {{"20260302", "-12.50", "Corner Coffee"}, {"20260305", "-80.00", "Electric bill"},
    {"20260309", "1500.00", "Payroll"}};

struct ImportHarness : PageDrawHarness {
    explicit ImportHarness(int32_t width = 1280, int32_t height = 900)
        : PageDrawHarness(width, height)
    {
        start();
        state().todayDate = Date{2026, 3, 15};
        state().page = pageImport;
        page = [this] { drawImportPage(state(), viewRect()); };
    }
    LocalStore& store() { return *state().store; }
    ImportWizardState& wizard() { return importWizardState(state()); }
    // A statement chosen, and its reading waited for.
    void load(const std::string& path)
    {
        loadImportFile(state(), path);
        finishImportLoad(state());
    }
    // Whole frames of the shell until no statement is being read.
    void shellFramesUntilRead()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!importLoadingName(wizard()).empty() && std::chrono::steady_clock::now() < until) {
            app.frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(importLoadingName(wizard()), "");
    }
    std::string write(const std::string& name, const std::string& text)
    {
        std::string path = app.dir / name;
        writeFileAtomic(path, text);
        return path;
    }
    void holdElectricBill()
    {
        EditResult main = addAccount(store(), "Main", "checking");
        ASSERT_TRUE(main.ok) << main.error;
        Transaction t = oneOff(0, "2026-03-05", -80, "Electric bill");
        t.account = "Main";
        ASSERT_TRUE(addTransaction(store(), t).ok);
    }
    // Row i's check box: the unscoped "chk" in the band of its status pill.
    const WidgetRecord* rowBox(size_t i)
    {
        const WidgetRecord* pill = widget("ie-st-" + std::to_string(i));
        if (!pill)
            return nullptr;
        for (const WidgetRecord& r : ui().recorder->records) {
            double cy = r.rect.y + r.rect.h / 2;
            if (r.label == "chk" && cy > pill->rect.y - 12 && cy < pill->rect.y + pill->rect.h + 12)
                return &r;
        }
        return nullptr;
    }
    void clickAt(const WidgetRecord* r)
    {
        ASSERT_NE(r, nullptr);
        click(r->rect.x + r->rect.w / 2, r->rect.y + r->rect.h / 2);
        frames(2);
    }
    Rect listBox()
    {
        // The list box is the one round rect in the background colour.
        for (const testing::Shape& s : withColor(modeRoundRect, ui().theme.base[slotBackground]))
            if (s.rect.w > 500)
                return s.rect;
        return {};
    }
};

TEST(ImportLoad, FailuresLeaveTheWizardAndSayWhy)
{
    ImportHarness h;
    const std::string folder = h.app.dir / "folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string fifo = h.app.dir / "pipe.ofx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = h.app.dir / "big.ofx";
    {
        std::ofstream out(big);
    }
    ASSERT_EQ(::truncate(big.c_str(), 65ll << 20), 0);
    const std::string notes = h.write("notes.txt", "Shopping list: milk, eggs.\n");
    const std::string missing = h.app.dir / "missing.ofx";
    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {missing, "Could not read the file: cannot open: " + missing},
        {folder, "Could not read the file: not a regular file"},
        {fifo, "Could not read the file: not a regular file"},
        {big, "Could not read the file: larger than 64 MiB"},
        {notes, "No transactions were found in notes.txt. Is it an OFX or QFX file?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto started = std::chrono::steady_clock::now();
        h.load(c.path);
        // A FIFO without a writer must not block.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(h.wizard().importError, c.error);
        EXPECT_EQ(h.wizard().importStep, importChooseFile);
        EXPECT_TRUE(h.wizard().importRows.empty());
    }
    // The message stands on the first step.
    h.frame();
    EXPECT_NE(h.widget("ie-choose"), nullptr);
}

// A statement is read away from the frames: they show that it is being
// read, and another file, Cancel or a frame drawn without the page drop it;
// nothing of a dropped statement ever reaches the wizard.
TEST(ImportLoad, ReadingShowsAndADroppedStatementNeverArrives)
{
    ImportHarness h;
    // Long enough that its reading outlasts a few frames.
    std::vector<Line> many(5000, Line{"20260301", "-1.00", "Vending machine"});
    const std::string large = h.write("large.qfx", statement(many));
    const std::string kept = h.write("kept.qfx", statement({{"20260301", "-5.00", "Bakery"}}));
    loadImportFile(h.state(), large);
    EXPECT_EQ(h.wizard().importStep, importChooseFile);
    EXPECT_TRUE(h.wizard().importRows.empty());
    h.frame();
    EXPECT_NE(h.widget("ie-cancel-load"), nullptr);
    EXPECT_EQ(h.widget("ie-choose"), nullptr);
    h.load(kept);
    EXPECT_EQ(h.wizard().importFileName, "kept.qfx");
    EXPECT_EQ(h.wizard().importRows.size(), 1u);

    struct Case {
        const char* how;
        std::function<void()> drop;
    };
    const Case cases[] = {
        {"Cancel", [&] { h.clickWidget("ie-cancel-load"); }},
        {"leaving the page", [&] { h.frames(2, [] {}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        loadImportFile(h.state(), large);
        h.frame();
        c.drop();
        h.frame();
        EXPECT_EQ(importLoadingName(h.wizard()), "");
        EXPECT_EQ(h.widget("ie-cancel-load"), nullptr);
        // The dropped thread ends on its own and is joined by a frame.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!h.wizard().importDropped.empty() && std::chrono::steady_clock::now() < until) {
            h.frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(h.wizard().importDropped.empty());
        EXPECT_EQ(h.wizard().importStep, importReview);
        EXPECT_EQ(h.wizard().importFileName, "kept.qfx");
        EXPECT_EQ(h.wizard().importRows.size(), 1u);
    }
}

TEST(ImportLoad, AGoodFileReachesReviewFromEveryStepAndAFailureKeepsTheRows)
{
    ImportHarness h;
    const std::string good = h.write("march.qfx", statement(kThree));
    const std::string notes = h.write("notes.txt", "nothing");
    for (int32_t step : {importChooseFile, importComplete}) {
        h.wizard().importStep = step;
        h.wizard().importFilter = "new";
        h.wizard().importEditRow = 1;
        h.load(good);
        EXPECT_EQ(h.wizard().importStep, importReview);
        EXPECT_EQ(h.wizard().importRows.size(), 3u);
        EXPECT_EQ(h.wizard().importFileName, "march.qfx");
        EXPECT_EQ(h.wizard().importFilter, "");
        EXPECT_EQ(h.wizard().importEditRow, -1);
    }
    // The account page's "Import a file" names the file under review and
    // starts a finished wizard over.
    EXPECT_EQ(restartFinishedImport(h.state()), "march.qfx");
    EXPECT_EQ(h.wizard().importRows.size(), 3u);
    h.wizard().importStep = importComplete;
    EXPECT_EQ(restartFinishedImport(h.state()), "");
    EXPECT_EQ(h.wizard().importStep, importChooseFile);
    EXPECT_TRUE(h.wizard().importRows.empty());
    h.load(good);
    h.wizard().importRows[0].selected = false;
    h.load(notes);
    EXPECT_EQ(h.wizard().importStep, importReview);
    ASSERT_EQ(h.wizard().importRows.size(), 3u);
    EXPECT_FALSE(h.wizard().importRows[0].selected);
    const std::string reason = h.wizard().importError;
    EXPECT_FALSE(reason.empty());
    // The review has no place for the reason: drawn, it gives it in a toast
    // and keeps no error for a later step.
    h.frame();
    ASSERT_FALSE(h.state().toasts.empty());
    EXPECT_EQ(h.state().toasts.back().text, reason);
    EXPECT_EQ(h.state().toasts.back().kind, toastError);
    h.frame();
    EXPECT_EQ(h.state().toasts.size(), 1u);
    // "Import a file" starts without the error of an earlier file.
    restartImportWizard(h.state());
    h.load(notes);
    EXPECT_FALSE(h.wizard().importError.empty());
    restartFinishedImport(h.state());
    EXPECT_TRUE(h.wizard().importError.empty());
}

TEST(ImportLoad, RowsTakeTheDefaultAccount)
{
    struct Case {
        const char* name;
        std::vector<const char*> accounts;  // added in this order
        int defaultIndex;                   // -1 none, -2 an id naming no account
        const char* expected;
    };
    const Case cases[] = {
        {"default", {"Main", "Savings"}, 1, "Savings"},
        {"stale", {"Main", "Savings"}, -2, "Main"},
        {"none", {"Main", "Savings"}, -1, "Main"},
        {"no accounts", {}, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportHarness h;
        h.store().budget->accounts.clear();
        h.store().budget->user.default_account_id = 0;
        std::vector<int64_t> ids;
        for (const char* a : c.accounts)
            ids.push_back(addAccount(h.store(), a, "checking").id);
        if (c.defaultIndex >= 0)
            setDefaultAccount(h.store(), ids[size_t(c.defaultIndex)]);
        if (c.defaultIndex == -2)
            h.store().budget->user.default_account_id = 987654;
        h.load(h.write("s.ofx", statement(kThree)));
        ASSERT_EQ(h.wizard().importRows.size(), 3u);
        for (const ImportRow& r : h.wizard().importRows) {
            EXPECT_EQ(more(r).account, c.expected);
            EXPECT_EQ(more(r).category, "");
        }
    }
}

TEST(ImportReview, MarksFiltersAndBulkChoices)
{
    ImportHarness h;
    h.holdElectricBill();
    h.load(h.write("march.qfx", statement(kThree)));
    h.frames(2);
    const ImportCounts& n = h.wizard().importCounts;
    EXPECT_EQ(n.total, 3);
    EXPECT_EQ(n.newCount, 2);
    EXPECT_EQ(n.duplicates, 1);
    for (const char* chip : {"ie-b-all", "ie-b-new", "ie-b-dup"})
        EXPECT_NE(h.widget(chip), nullptr) << chip;
    EXPECT_EQ(h.widget("ie-b-pos"), nullptr);
    const std::vector<ImportRow>& rows = h.wizard().importRows;
    EXPECT_TRUE(rows[0].selected);
    EXPECT_FALSE(rows[1].selected);
    EXPECT_EQ(more(rows[1]).matchedDescription, "Electric bill");
    // The duplicate is tinted in the danger colour.
    const Color tint = withAlpha(h.ui().theme.base[slotDanger], 0.06);
    EXPECT_EQ(h.withColor(modeFlat, tint).size(), 1u);
    const Rect all = h.listBox();
    EXPECT_NEAR(all.h, 3 * 44 + 32, 0.5);

    // Only duplicates, a shorter box; Select All still reaches every row.
    h.clickWidget("ie-b-dup");
    EXPECT_EQ(h.wizard().importFilter, "duplicate");
    EXPECT_EQ(h.widget("ie-st-0"), nullptr);
    EXPECT_NE(h.widget("ie-st-1"), nullptr);
    EXPECT_NEAR(h.listBox().h, 44 + 32, 0.5);
    h.clickWidget("ie-selall");
    for (const ImportRow& r : rows)
        EXPECT_TRUE(r.selected);
    // The selected chip again, then Total, clear the filter.
    h.clickWidget("ie-b-dup");
    EXPECT_EQ(h.wizard().importFilter, "");
    h.clickWidget("ie-b-new");
    EXPECT_EQ(h.wizard().importFilter, "new");
    h.clickWidget("ie-b-all");
    EXPECT_EQ(h.wizard().importFilter, "");

    h.clickWidget("ie-deseldup");
    EXPECT_TRUE(rows[0].selected && rows[2].selected);
    EXPECT_FALSE(rows[1].selected);
    h.wizard().importRows[0].status = importPossibleDuplicate;
    h.clickWidget("ie-deseldup");
    EXPECT_FALSE(rows[0].selected);

    h.clickWidget("ie-deselall");
    for (const ImportRow& r : rows)
        EXPECT_FALSE(r.selected);
    h.frame();
    EXPECT_TRUE(h.state().toasts.empty());
    // A disabled button takes no input, so it is not in the list.
    EXPECT_EQ(h.widget("ie-confirm"), nullptr);
    h.clickWidget("ie-selall");
    EXPECT_NE(h.widget("ie-confirm"), nullptr);
}

TEST(ImportReview, EachRowsBoxIsItsOwn)
{
    ImportHarness h;
    std::vector<Line> lines;
    static const char* const names[] = {
        "Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf", "Hotel", "India", "Juliet"};
    static const char* const dates[] = {"20260301", "20260302", "20260303", "20260304", "20260305", "20260306",
        "20260307", "20260308", "20260309", "20260310"};
    for (size_t i = 0; i < 10; ++i)
        lines.push_back({dates[i], i % 2 ? "-10.00" : "-23.45", names[i]});
    h.load(h.write("ten.ofx", statement(lines)));
    h.frames(2);
    for (size_t i : {0u, 3u, 7u})
        h.clickAt(h.rowBox(i));
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(h.wizard().importRows[i].selected, !(i == 0 || i == 3 || i == 7)) << i;
    h.frame();
}

TEST(ImportReview, DetailsPanelOutlivesTheFilter)
{
    ImportHarness h;
    h.holdElectricBill();
    h.load(h.write("march.qfx", statement(kThree)));
    h.frames(2);
    // Details of row 1 stay open while the filter hides it.
    h.clickWidget("ie-edit-1");
    EXPECT_EQ(h.wizard().importEditRow, 1);
    EXPECT_NE(h.widget("iconpickie-icon-1"), nullptr);
    h.clickWidget("ie-b-new");
    EXPECT_EQ(h.widget("ie-st-1"), nullptr);
    EXPECT_NE(h.widget("ie-edit-done"), nullptr);
    h.clickWidget("ie-edit-done");
    EXPECT_EQ(h.wizard().importEditRow, -1);
    h.clickWidget("ie-b-all");
    h.clickWidget("ie-edit-1");
    h.clickWidget("ie-edit-1");
    EXPECT_EQ(h.wizard().importEditRow, -1);
    // The rows outlive a visit to the account page.
    h.clickWidget("ie-back");
    EXPECT_EQ(h.state().page, pageAccount);
    EXPECT_EQ(h.wizard().importRows.size(), 3u);
}

TEST(ImportReview, CategoryIsChosenAndEmptiedByName)
{
    ImportHarness h;
    h.load(h.write("march.qfx", statement(kThree)));
    h.frames(2);
    const std::vector<Category> byName = categoriesByName(*h.store().budget);
    std::string first;
    for (const Category& c : byName)
        if (!c.hidden && first.empty())
            first = c.name;
    ASSERT_FALSE(first.empty());
    const std::string& bound = more(h.wizard().importRows[0]).category;
    EXPECT_EQ(bound, "");
    h.clickWidget("pickerie-cat-0");
    h.clickWidget("piie-cat-00");
    EXPECT_EQ(bound, first);
    EXPECT_EQ(more(h.wizard().importRows[1]).category, "");
    h.clickWidget("pickerie-cat-0");
    h.clickWidget("pnie-cat-0");
    EXPECT_EQ(bound, "");
}

TEST(ImportReview, NarrowListsTakeTheCompactRows)
{
    // 900 dp of content leaves a list narrower than the wide columns need.
    ImportHarness h(956, 900);
    h.load(h.write("march.qfx", statement(kThree)));
    h.frames(2);
    EXPECT_EQ(h.widget("ie-edit-0"), nullptr);
    EXPECT_NEAR(h.listBox().h, 3 * 112 + 32, 0.5);
    const WidgetRecord* acc = h.widget("pickerie-acc-0");
    ASSERT_NE(acc, nullptr);
    EXPECT_LE(acc->rect.x + acc->rect.w, h.listBox().x + h.listBox().w);
}

// The shell's road: a dropped statement, and a loader that raises.
TEST(ImportShell, DroppedFilesTakeTheDialogsRoad)
{
    ImportHarness h;
    PageTable table = standInPageTable();
    fillImportPageTable(table);
    setPageTable(table);
    h.state().page = pageCalendar;
    WindowEvent drop;
    drop.kind = weFileDrop;
    drop.text = h.write("drop.qfx", statement(kThree));
    dispatchEvent(h.state(), drop);
    h.app.frame();
    EXPECT_EQ(h.state().page, pageImport);
    h.shellFramesUntilRead();
    EXPECT_EQ(h.wizard().importStep, importReview);

    table.loadImportFile = [](AppState&, const std::string&) { throw ValueError("statement reader broke"); };
    setPageTable(table);
    dispatchEvent(h.state(), drop);
    h.app.frame();
    ASSERT_FALSE(h.state().toasts.empty());
    EXPECT_EQ(h.state().toasts.back().text, "statement reader broke");
    EXPECT_EQ(h.state().toasts.back().kind, toastError);
    h.app.frame();
    setPageTable(standInPageTable());
}

}  // namespace
}  // namespace qm
