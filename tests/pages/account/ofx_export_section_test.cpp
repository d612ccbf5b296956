#include "pages/account/ofx_export_section.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/file_dialog.h"
#include "app/page_draw_harness.h"
#include "core/files.h"
#include "model/export_fixtures.h"
#include "model/transaction_edits.h"
#include "pages/account/account_page.h"
#include "pages/import/import_commit.h"
#include "pages/import/import_wizard.h"
#include "ui/layout.h"

namespace qm {
namespace {

using testing::oneOff;
using testing::series;

struct SectionHarness : testing::PageDrawHarness {
    explicit SectionHarness(Date today)
        : PageDrawHarness(900, 600)
    {
        start();
        state().todayDate = today;
        page = [this] {
            pushLayout(ui(), {20, 20, 600, 0});
            drawOfxExportSection(state());
            popLayout(ui());
        };
    }
};

TEST(OfxExportSection, RangeNameAndOrder)
{
    struct Case {
        Date today;
        const char* from;
        const char* to;
    };
    for (const Case& c :
        {Case{{2026, 12, 7}, "2026-12-01", "2027-03-31"}, Case{{2026, 11, 30}, "2026-11-01", "2027-02-28"}}) {
        SectionHarness h(c.today);
        h.frame();
        EXPECT_EQ(formatIso(accountPageState(h.state()).ofxFrom), c.from);
        EXPECT_EQ(formatIso(accountPageState(h.state()).ofxTo), c.to);
    }
    SectionHarness h({2026, 12, 7});
    h.frame();
    // Kept once chosen, and "To" follows a later "From".
    accountPageState(h.state()).ofxFrom = Date{2027, 4, 2};
    h.state().todayDate = Date{2027, 8, 1};
    h.frame();
    EXPECT_EQ(formatIso(accountPageState(h.state()).ofxTo), "2027-04-02");
    EXPECT_EQ(formatIso(accountPageState(h.state()).ofxFrom), "2027-04-02");
    accountPageState(h.state()).ofxFrom = Date{2027, 1, 15};
    h.clickWidget("ie-download");
    // The purpose the section opened the dialog with writes the export.
    ASSERT_TRUE(h.state().fileDialogPurpose.save);
    const std::string picked = h.app.dir / "picked.ofx";
    h.state().fileDialogPurpose.take(h.state(), picked);
    EXPECT_NE(readFile(picked).find("<OFX>"), std::string::npos);
    EXPECT_EQ(fileDialogState(h.state()).fileName, "budget-2027-01-15.ofx");
}

TEST(OfxExportSection, SavesOrSaysWhyNot)
{
    SectionHarness h({2026, 3, 1});
    AppState& s = h.state();
    accountPageState(s).ofxFrom = Date{2026, 3, 1};
    accountPageState(s).ofxTo = Date{2026, 3, 31};
    ASSERT_TRUE(addTransaction(*s.store, oneOff(0, "2026-03-04", -5, "Tea")).ok);
    const std::string good = h.app.dir / "plan.ofx";
    ExportOutcome ok = exportOfxFile(s, good);
    EXPECT_TRUE(ok.written);
    ASSERT_EQ(s.toasts.size(), 1u);
    EXPECT_EQ(s.toasts[0].text, "Saved plan.ofx");
    EXPECT_NE(readFile(good).find("<NAME>Tea</NAME>"), std::string::npos);

    const std::string bad = h.app.dir / "missing/plan.ofx";
    ExportOutcome failed = exportOfxFile(s, bad);
    EXPECT_FALSE(failed.written);
    EXPECT_FALSE(failed.reason.empty());
    ASSERT_EQ(s.toasts.size(), 2u);
    EXPECT_EQ(s.toasts[1].kind, toastError);
    EXPECT_EQ(s.toasts[1].text, "Could not save the file: " + failed.reason);
    EXPECT_NE(::access(bad.c_str(), F_OK), 0);
}

// What we export, our own import reads back.
TEST(OfxExportSection, RoundTripsThroughTheImport)
{
    SectionHarness h({2026, 1, 1});
    AppState& s = h.state();
    accountPageState(s).ofxFrom = Date{2026, 1, 1};
    accountPageState(s).ofxTo = Date{2026, 3, 31};
    const Transaction oneOffs[] = {oneOff(0, "2026-01-09", -42.1, "Bookshop"), oneOff(0, "2026-02-14", 250, "Refund"),
        oneOff(0, "2026-03-20", -99.99, "Garage repair")};
    for (const Transaction& t : oneOffs)
        ASSERT_TRUE(addTransaction(*s.store, t).ok);
    ASSERT_TRUE(addTransaction(*s.store, series(0, "nth_1_months", "2026-01-05", -12.99, "Streaming")).ok);
    const std::string path = h.app.dir / "round.ofx";
    ASSERT_TRUE(exportOfxFile(s, path).written);

    // Into its own budget every row is a duplicate, none chosen.
    loadImportFile(s, path);
    finishImportLoad(s);
    ImportWizardState& w = importWizardState(s);
    ASSERT_EQ(w.importRows.size(), 6u);
    for (const ImportRow& r : w.importRows) {
        EXPECT_EQ(r.status, importDuplicate) << r.description;
        EXPECT_FALSE(r.selected);
    }

    SectionHarness empty({2026, 1, 1});
    loadImportFile(empty.state(), path);
    finishImportLoad(empty.state());
    commitImport(empty.state());
    const TransactionList& back = empty.state().store->budget->transactions;
    ASSERT_EQ(back.size(), 4u);
    for (const Transaction& want : oneOffs) {
        bool found = false;
        for (const Transaction& t : back)
            if (t.description == want.description) {
                found = true;
                EXPECT_EQ(formatIso(t.start_date), formatIso(want.start_date));
                EXPECT_DOUBLE_EQ(t.amount, want.amount);
                EXPECT_FALSE(t.is_recurring);
            }
        EXPECT_TRUE(found) << want.description;
    }
    bool seriesFound = false;
    for (const Transaction& t : back)
        if (t.description == "Streaming") {
            seriesFound = true;
            EXPECT_TRUE(t.is_recurring);
            EXPECT_EQ(t.recurring_period, "nth_1_months");
            EXPECT_EQ(formatIso(t.start_date), "2026-01-05");
        }
    EXPECT_TRUE(seriesFound);
}

}  // namespace
}  // namespace qm
